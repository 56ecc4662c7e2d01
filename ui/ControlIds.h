#pragma once

namespace tsumugiya::ui {

// The main dialog's controls by their layout ids (res/dialogs/main.json).
enum ControlId : int {
    kIdOk = 1,  // hidden default button: Enter outside a push button ends the dialog
    kIdBackup = 1000,
    kIdFixedNameBackup = 1001,
    kIdRestore = 1002,
    kIdBackupList = 1003,
    kIdSavePath = 1004,
    kIdMemo = 1005,
    kIdDelete = 1006,
    kIdOpenFolder = 1007,
    kIdMemoLabel = 1008,
    kIdRefresh = 1009,
    kIdConfirmOnRestore = 1010,
    kIdSelectSaveFile = 1011,
    kIdMapName = 1012,
    kIdMapList = 1013,
    kIdClearMemo = 1014,
    kIdMapLabel = 1015,
};

}  // namespace tsumugiya::ui

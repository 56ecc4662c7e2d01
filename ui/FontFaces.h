#pragma once

#include <QString>

namespace tsumugiya::ui {

// The installed family that stands in for a Windows face the layouts name:
// the proportional IPA faces for the MS ones. Asking for the stand-in
// directly spares the font matcher a fallback search for each missing face.
// Other faces are returned as they are.
QString StandInFamily(const QString& face);

}  // namespace tsumugiya::ui

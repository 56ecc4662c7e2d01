#include "CliHost.h"

#include <unistd.h>

#include <iostream>

#include "Messages.h"

namespace tsumugiya::cli {

CliHost::CliHost(const AppLocations& locations, std::ostream& out, std::ostream& err)
    : catalogue_(locations), out_(out), err_(err) {}

MemoryBackupList& CliHost::List() {
    if (stale_) {
        catalogue_.Refresh(list_);
        stale_ = false;
    }
    return list_;
}

bool CliHost::SelectNames(const std::vector<std::string>& names, std::string& missing) {
    for (const std::string& name : names) {
        if (!catalogue_.Lists(name)) {
            missing = name;
            return false;
        }
    }
    list_.Clear();
    for (const std::string& name : names) {
        list_.Append(name);
        list_.Select(list_.Count() - 1);
    }
    stale_ = false;
    return true;
}

std::vector<std::filesystem::path> CliHost::SelectedNames(int max) const {
    return catalogue_.SelectedPaths(list_, max);
}

bool CliHost::AskOkCancel(std::string_view text) {
    if (assumeYes_) {
        return true;
    }
    err_ << text << '\n';
    if (!::isatty(STDIN_FILENO)) {
        err_ << "No terminal to answer on: nothing was changed (pass --yes to agree).\n";
        return false;
    }
    err_ << "[y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

bool CliHost::WarnOkCancel(std::string_view text) {
    if (assumeYes_) {
        err_ << "警告: " << text << '\n';
        return true;
    }
    return AskOkCancel(text);
}

void CliHost::Tell(std::string_view text) {
    err_ << text << '\n';
}

void CliHost::SetStatus(std::string_view text) {
    out_ << text << '\n';
}

void CliHost::ShowCatalogue() {
    stale_ = true;
}

void CliHost::ShowCatalogueSelecting(const std::string&) {
    stale_ = true;
}

void CliHost::ReportFileError(const platform::IoError& error) {
    err_ << messages::FileErrorReport(error) << '\n';
}

}  // namespace tsumugiya::cli

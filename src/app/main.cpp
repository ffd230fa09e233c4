// updater.exe: start-up of the update window.

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "framework/forms.h"
#include "platform/file_stream.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/process.h"
#include "updater/win32/update_form.h"

namespace {

// The first command-line argument as GBK (code page 936); empty when there
// is none.
std::string FirstArgument() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string argument;
    if (args != nullptr && count > 1) {
        argument = framework::GbkText(args[1]);
    }
    LocalFree(args);
    return argument;
}

}  // namespace

int main() {
    // The exception reporter starts here, before anything of the user
    // interface, once it exists.

    framework::TApplication& app = framework::Application();
    app.SetTitle("升级");

    updater::TUpdateEnvironment env;
    env.argument = FirstArgument();
    env.check.current_dir = platform::CurrentDirectory();
    env.check.settings = platform::ReadUserFormatSettings();
    env.tick_count = platform::TickCount;
    env.write_file = platform::WriteFileAtomically;
    env.start_program = [](const std::string& program, const std::string& folder) {
        platform::StartProgram(program, folder);
    };

    try {
        auto* form = new updater::TUpdateForm(&app, std::move(env));
        app.AdoptForm(form);
    } catch (...) {
        app.HandleException(std::current_exception());
        return 1;
    }
    app.Run();
    return 0;
}

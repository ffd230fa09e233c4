// updater.exe: start-up of the update window.

#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <string_view>

#include "exceptions/win32/reporter.h"
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

// A failure before the message loop runs: shown like any other (the
// application's handler, or a plain box when even the application could not
// be made), never an exit without a word.
void ReportStartFailure(framework::TApplication* app, std::exception_ptr error) {
    if (app != nullptr) {
        app->HandleException(error);
        return;
    }
    std::string text = "Exception";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    MessageBoxW(nullptr, framework::WideText(text).c_str(), framework::WideText("升级").c_str(),
                MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace

int main() {
    // The exception reporter starts here, before anything of the user
    // interface: from now on every thread is tracked, every throw recorded,
    // and an exception nothing handles is reported and kept in the log. A
    // program without its crash data runs without it.
    exceptions::InstallReporter();

    framework::TApplication* app = nullptr;
    try {
        app = &framework::Application();
        app->SetTitle("升级");

        updater::TUpdateEnvironment env;
        env.argument = FirstArgument();
        // The install folder stays as the system names it: a name that GBK
        // cannot hold still reaches every file exactly.
        env.check.current_dir = platform::CurrentDirectory();
        env.check.settings = platform::ReadUserFormatSettings();
        env.tick_count = platform::TickCount;
        // An update of the updater itself left the old program beside it.
        env.program_path = platform::ProgramPath();
        if (!env.program_path.empty()) {
            platform::RemoveFile(env.program_path + u".old");
        }
        env.start_program = [](const std::u16string& program, const std::u16string& folder) {
            platform::StartProgram(program, folder);
        };

        auto* form = new updater::TUpdateForm(app, std::move(env));
        app->AdoptForm(form);
    } catch (...) {
        ReportStartFailure(app, std::current_exception());
        return 1;
    }
    app->Run();
    exceptions::UninstallReporter();
    return 0;
}

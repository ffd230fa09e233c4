// The framework's sample program: builds the sample window entirely from its
// definition, runs the application's message loop, saves a screenshot of the
// window once it is painted, then (unless --stay is given) closes the window
// through its close button, which ends the application.
//
//   framework_sample SCREENSHOT.bmp [--stay]
//
// Exit code 0 when the window went through create, show, the click and the
// close in that order.

#include <cstdio>
#include <cstring>
#include <string>

#include "base/streams.h"
#include "sample_window.h"

using namespace framework;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: framework_sample SCREENSHOT.bmp [--stay]\n");
        return 2;
    }
    const std::string shotPath = argv[1];
    const bool stay = argc > 2 && std::strcmp(argv[2], "--stay") == 0;

    Application().SetTitle("框架示例");
    auto* window = Application().CreateForm<sample::TSampleWindow>();

    bool saved = false;
    TTimer shoot(window);
    shoot.SetInterval(300);
    shoot.OnTimer = [&](TComponent*) {
        shoot.SetEnabled(false);
        RECT r;
        GetWindowRect(window->Handle(), &r);
        TBitmap shot;
        CaptureScreen(r, shot);
        base::TMemoryStream out;
        shot.SaveToStream(out);
        if (FILE* f = std::fopen(shotPath.c_str(), "wb")) {
            saved = std::fwrite(out.Memory(), 1, static_cast<size_t>(out.Size()), f) ==
                    static_cast<size_t>(out.Size());
            saved = std::fclose(f) == 0 && saved;
        }
        if (!stay) {
            // The close button's handler closes the main window.
            PostMessageW(window->Button1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(window->Button1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        }
    };
    Application().Run();

    const std::vector<std::string> expected = {"create", "show", "click1", "close"};
    if (!saved) {
        std::fprintf(stderr, "framework_sample: the screenshot was not saved\n");
        return 1;
    }
    if (!stay && window->events != expected) {
        std::fprintf(stderr, "framework_sample: unexpected events:");
        for (const auto& e : window->events) {
            std::fprintf(stderr, " %s", e.c_str());
        }
        std::fprintf(stderr, "\n");
        return 1;
    }
    std::printf("framework_sample: window shown, screenshot saved, closed by its button\n");
    return 0;
}

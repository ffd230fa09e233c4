// updater.exe carries an application manifest (resource type 24, id 1) that
// the system accepts: it runs as the invoking user (without it Windows takes a
// program named "update..." for an installer and asks for administrator
// rights), declares the versions from Windows 7 on and asks for GDI scaling.
// The text is read from the built executable, and the system reads it too,
// through an activation context made from the executable as at its start.
//
// UPDATER_EXE: the program under test.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ExePath() {
    const std::string narrow = UPDATER_EXE;
    return std::wstring(narrow.begin(), narrow.end());  // the build path is ASCII
}

class ActivationContext {
  public:
    ActivationContext() {
        const std::wstring path = ExePath();
        ACTCTXW context{};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = path.c_str();
        context.lpResourceName = MAKEINTRESOURCEW(1);
        handle_ = CreateActCtxW(&context);
    }
    ~ActivationContext() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(handle_);
        }
    }
    HANDLE Handle() const { return handle_; }

  private:
    HANDLE handle_;
};

// The manifest's text, read from the executable as a data file.
std::string ManifestText() {
    HMODULE exe = LoadLibraryExW(ExePath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (exe == nullptr) {
        ADD_FAILURE() << "cannot load " << UPDATER_EXE << ": " << GetLastError();
        return {};
    }
    std::string text;
    if (HRSRC resource = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, resource)));
        text.assign(bytes, SizeofResource(exe, resource));
    }
    FreeLibrary(exe);
    return text;
}

TEST(UpdaterManifest, DeclaresTheInvokerWindows7OnAndGdiScaling) {
    const std::string text = ManifestText();
    ASSERT_FALSE(text.empty()) << "no resource 1 of type 24";
    for (
        const char* part : {
            R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
            R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)",  // Windows 7
            R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)",  // Windows 8
            R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)",  // Windows 8.1
            R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",  // Windows 10, 11
            R"(<gdiScaling xmlns="http://schemas.microsoft.com/SMI/2017/WindowsSettings">true</gdiScaling>)",
        }) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
}

TEST(UpdaterManifest, TheSystemReadsItsRunLevelAndGdiScaling) {
    ActivationContext context;
    ASSERT_NE(context.Handle(), INVALID_HANDLE_VALUE)
        << "the system refused the manifest: " << GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    ASSERT_TRUE(QueryActCtxW(0, context.Handle(), nullptr, RunlevelInformationInActivationContext,
                             &level, sizeof level, nullptr));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(level.UiAccess, 0u);

    wchar_t value[32] = {};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxSettingsW(0, context.Handle(),
                                     L"http://schemas.microsoft.com/SMI/2017/WindowsSettings",
                                     L"gdiScaling", value, 32, &written))
        << GetLastError();
    EXPECT_STREQ(value, L"true");
}

}  // namespace

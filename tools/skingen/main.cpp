// skingen: draws the program's own skins and the side picture of the update
// window.
//
//   skingen OUTPUT_DIR
//
// writes OUTPUT_DIR/skins/yellow/ and OUTPUT_DIR/skins/silver/ (each a
// skin.ini with its BMP pictures, the source folder of a stored skin) and
// OUTPUT_DIR/side.bmp. The output depends on nothing but this program, so
// the pictures committed under assets/ can always be drawn again.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "skin.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void WriteSkin(const fs::path& root, const skingen::SkinDesign& design) {
    fs::path dir = root / "skins" / design.name;
    fs::create_directories(dir);
    skingen::SkinFiles files = skingen::BuildSkin(design);
    WriteFile(dir / "skin.ini", files.description);
    for (const auto& [name, picture] : files.pictures) {
        WriteFile(dir / name, picture.ToBitmap().SaveToBytes());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen OUTPUT_DIR\n");
        return 2;
    }
    try {
        fs::path root(argv[1]);
        fs::create_directories(root);
        WriteSkin(root, skingen::YellowDesign());
        WriteSkin(root, skingen::SilverDesign());
        WriteFile(root / "side.bmp", skingen::BuildSidePicture().ToBitmap().SaveToBytes());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skingen: %s\n", e.what());
        return 1;
    }
    return 0;
}

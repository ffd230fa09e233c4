// skingen: draws the program's own skins and the side picture of the update
// window, and the contact sheet of the skins' pictures.
//
//   skingen OUTPUT_DIR
//
// writes OUTPUT_DIR/skins/yellow/ and OUTPUT_DIR/skins/silver/ (each a
// skin.ini with its BMP pictures, the source folder of a stored skin) and
// OUTPUT_DIR/side.bmp. The output depends on nothing but this program, so
// the pictures committed under assets/ can always be drawn again.
//
//   skingen --contact-sheet OUTPUT.png SKIN_DIR...
//
// writes a PNG showing every picture of each skin folder, labelled
// (docs/skins.png shows assets/skins/yellow and assets/skins/silver).

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "png.h"
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

int ContactSheet(const fs::path& output, const std::vector<fs::path>& dirs) {
    std::vector<skingen::SheetSkin> skins;
    for (const fs::path& dir : dirs) {
        skins.push_back(skingen::ReadSkinFolder(dir));
    }
    WriteFile(output, skingen::EncodePng(skingen::BuildContactSheet(skins)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool sheet = argc >= 2 && std::string(argv[1]) == "--contact-sheet";
    if ((sheet && argc < 4) || (!sheet && argc != 2)) {
        std::fprintf(stderr,
                     "usage: skingen OUTPUT_DIR\n"
                     "       skingen --contact-sheet OUTPUT.png SKIN_DIR...\n");
        return 2;
    }
    try {
        if (sheet) {
            return ContactSheet(argv[2], std::vector<fs::path>(argv + 3, argv + argc));
        }
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

// The two skins: "yellow", the one the update window uses, and "silver".

#include "skin.h"

namespace skingen {

namespace {

Palette YellowPalette() {
    Palette p;
    p.outline = Hex(0x5C3804);
    p.captionTop = Hex(0xFFF4C6);
    p.captionMid = Hex(0xFFD873);
    p.captionBottom = Hex(0xF2AE32);
    p.frameBody = Hex(0xF2AE32);
    p.frameShade = Hex(0xC27F12);
    p.frameInner = Hex(0x6E4306);
    p.frameEtch = Hex(0xFFDC88);
    p.client = Hex(0xA8661A);
    p.inactiveTop = Hex(0xFBF4E2);
    p.inactiveBottom = Hex(0xDCC7A0);
    p.inactiveBody = Hex(0xDCC7A0);
    p.inactiveOutline = Hex(0x8A7558);
    p.plateTop = Hex(0xFFFDF2);
    p.plateBottom = Hex(0xFFF0C4);
    p.plateEdge = Hex(0xB87A14);
    p.glyph = Hex(0x5A3604);
    p.glyphInactive = Hex(0x9C8A6C);
    p.glyphHot = Hex(0xFFFFFF);
    p.hotTop = Hex(0xFFFBE6);
    p.hotBottom = Hex(0xFFD466);
    p.hotEdge = Hex(0xA8690C);
    p.closeTop = Hex(0xFF9C6A);
    p.closeBottom = Hex(0xD9421A);
    p.closeEdge = Hex(0x8E2608);
    p.buttonTop = Hex(0xFFF0B0);
    p.buttonBottom = Hex(0xF0AA2E);
    p.buttonEdge = Hex(0x6A4006);
    p.buttonHotTop = Hex(0xFFFAD6);
    p.buttonHotBottom = Hex(0xFFC340);
    p.buttonHotEdge = Hex(0x8A4E00);
    p.buttonDownTop = Hex(0xE49A24);
    p.buttonDownBottom = Hex(0xF7C65A);
    p.buttonOffTop = Hex(0xE6DCC4);
    p.buttonOffBottom = Hex(0xC9B894);
    p.buttonOffEdge = Hex(0x7E6C50);
    p.buttonText = Hex(0x3C2200);
    p.buttonHotText = Hex(0x000000);
    p.buttonDownText = Hex(0x2A1600);
    p.buttonOffText = Hex(0x8C7B5E);
    p.fieldTop = Hex(0xE8D6AE);
    p.field = Hex(0xFFF8E4);
    p.fieldEdge = Hex(0x5A3604);
    p.fieldLight = Hex(0xD79A44);
    p.fieldText = Hex(0x3C2200);
    p.fieldOffText = Hex(0xA08C6A);
    p.barTop = Hex(0xFFE08A);
    p.barBottom = Hex(0xF08A10);
    p.barEdge = Hex(0xB0600A);
    p.selectText = Hex(0x000000);
    p.menu = Hex(0x4A2E0C);
    p.menuColumn = Hex(0x5E3C12);
    p.menuEdge = Hex(0x241502);
    p.menuLight = Hex(0xC08A30);
    p.menuText = Hex(0xFFFFFF);
    p.menuHotTop = Hex(0xFFF2B8);
    p.menuHotBottom = Hex(0xFFC83C);
    p.menuHotEdge = Hex(0xE0A020);
    p.menuHotText = Hex(0x000000);
    p.menuOffText = Hex(0xA88A5C);
    p.menuMarker = Hex(0xC8A060);
    p.menuMarkerHot = Hex(0xFFE070);
    p.clientText = Hex(0xFFFFFF);
    p.clientHotText = Hex(0xFFE680);
    return p;
}

Palette SilverPalette() {
    Palette p;
    p.outline = Hex(0x2A3A52);
    p.captionTop = Hex(0xF4F8FC);
    p.captionMid = Hex(0xD2DEEA);
    p.captionBottom = Hex(0xA9BCD2);
    p.frameBody = Hex(0xA9BCD2);
    p.frameShade = Hex(0x7A90AC);
    p.frameInner = Hex(0x38506E);
    p.frameEtch = Hex(0xDCE6F2);
    p.client = Hex(0x3E5A7E);
    p.inactiveTop = Hex(0xF6F7F8);
    p.inactiveBottom = Hex(0xCED3D9);
    p.inactiveBody = Hex(0xCED3D9);
    p.inactiveOutline = Hex(0x7C858F);
    p.plateTop = Hex(0xFFFFFF);
    p.plateBottom = Hex(0xE8EEF5);
    p.plateEdge = Hex(0x7088A6);
    p.glyph = Hex(0x24364E);
    p.glyphInactive = Hex(0x8C949E);
    p.glyphHot = Hex(0xFFFFFF);
    p.hotTop = Hex(0xFFFFFF);
    p.hotBottom = Hex(0xBFD6F0);
    p.hotEdge = Hex(0x4E6A8E);
    p.closeTop = Hex(0xF08A80);
    p.closeBottom = Hex(0xC0302A);
    p.closeEdge = Hex(0x7A1810);
    p.buttonTop = Hex(0xFFFFFF);
    p.buttonBottom = Hex(0xC6D4E4);
    p.buttonEdge = Hex(0x2E4460);
    p.buttonHotTop = Hex(0xFFFFFF);
    p.buttonHotBottom = Hex(0xA8CCF2);
    p.buttonHotEdge = Hex(0x2A62A8);
    p.buttonDownTop = Hex(0xA6BCD6);
    p.buttonDownBottom = Hex(0xDCE6F2);
    p.buttonOffTop = Hex(0xE6E8EA);
    p.buttonOffBottom = Hex(0xCDD1D6);
    p.buttonOffEdge = Hex(0x7A828C);
    p.buttonText = Hex(0x1C2A3C);
    p.buttonHotText = Hex(0x0A2A5A);
    p.buttonDownText = Hex(0x101C2C);
    p.buttonOffText = Hex(0x8A929C);
    p.fieldTop = Hex(0xC8D2DE);
    p.field = Hex(0xF6F9FC);
    p.fieldEdge = Hex(0x1E2E44);
    p.fieldLight = Hex(0x7B93B2);
    p.fieldText = Hex(0x1C2A3C);
    p.fieldOffText = Hex(0x8A929C);
    p.barTop = Hex(0xCDE6FF);
    p.barBottom = Hex(0x3C86D8);
    p.barEdge = Hex(0x1E5294);
    p.selectText = Hex(0xFFFFFF);
    p.menu = Hex(0xF4F7FA);
    p.menuColumn = Hex(0xDDE5EE);
    p.menuEdge = Hex(0x2A3A52);
    p.menuLight = Hex(0xFFFFFF);
    p.menuText = Hex(0x1C2A3C);
    p.menuHotTop = Hex(0xE2F0FF);
    p.menuHotBottom = Hex(0x9CC4F0);
    p.menuHotEdge = Hex(0x4A7CB8);
    p.menuHotText = Hex(0x000000);
    p.menuOffText = Hex(0x9AA2AC);
    p.menuMarker = Hex(0x7C8A9C);
    p.menuMarkerHot = Hex(0x1E5294);
    p.clientText = Hex(0xFFFFFF);
    p.clientHotText = Hex(0xBFE0FF);
    return p;
}

}  // namespace

SkinDesign YellowDesign() {
    SkinDesign s;
    s.name = "yellow";
    s.comments = "Warm yellow and amber; the skin of the update window.";
    s.palette = YellowPalette();

    s.width = 161;
    s.height = 159;
    s.client = {7, 30, 153, 151};
    s.radiusTop = 8;
    s.radiusBottom = 4;
    s.leftTop = {24, 30};
    s.rightTop = {137, 30};
    s.leftBottom = {24, 151};
    s.rightBottom = {137, 151};
    s.captionRect = {4, 6, 154, 23};
    s.buttonsOffset = 2;
    s.captionObject = {5, 4, 153, 25};
    s.captionText = {2, 0, 146, 17};
    s.captionButtonW = 17;
    s.captionButtonH = 17;

    s.plateAt = {4, 92};
    s.plateW = 44;
    s.plateH = 21;
    s.plateEnds = 8;
    s.plateText = {8, 3, 36, 18};
    s.buttonGrid = {52, 1};

    s.menuItemW = 60;
    s.menuItemH = 20;
    s.menuItemAt = {1, 99};
    s.menuDividerH = 6;
    s.menuDividerAt = {1, 29};
    s.menuColumn = 15;
    s.popupSize = 40;
    s.popupBorder = 3;

    s.buttonW = 49;
    s.buttonH = 25;
    s.buttonRadius = 4;
    s.buttonLT = {8, 10};
    s.buttonRT = {39, 10};
    s.buttonClient = {3, 3, 45, 21};
    s.gaugeW = 37;
    s.gaugeH = 19;
    s.gaugeLT = {5, 6};
    s.gaugeRT = {32, 9};
    s.progressArea = {2, 2, 34, 16};
    s.barW = 21;
    s.barEnds = 5;
    s.labelW = 75;
    s.labelH = 18;
    s.labelLT = {5, 9};
    s.labelRT = {68, 7};
    s.labelClient = {3, 2, 72, 16};
    s.fieldRadius = 3;

    s.listW = 67;
    s.listH = 64;
    s.listClient = {2, 2, 64, 61};
    s.itemW = 50;
    s.itemH = 20;

    s.scrollW = 16;
    s.scrollLength = 64;
    s.thumbLength = 24;
    return s;
}

SkinDesign SilverDesign() {
    SkinDesign s;
    s.name = "silver";
    s.comments = "Cool blue and silver.";
    s.palette = SilverPalette();

    s.width = 150;
    s.height = 140;
    s.client = {5, 27, 145, 134};
    s.radiusTop = 6;
    s.radiusBottom = 3;
    s.leftTop = {20, 27};
    s.rightTop = {130, 27};
    s.leftBottom = {20, 134};
    s.rightBottom = {130, 134};
    s.captionRect = {4, 5, 144, 21};
    s.buttonsOffset = 1;
    s.captionObject = {4, 3, 142, 23};
    s.captionText = {2, 0, 136, 16};
    s.captionButtonW = 18;
    s.captionButtonH = 16;

    s.plateAt = {2, 92};
    s.plateW = 40;
    s.plateH = 20;
    s.plateEnds = 7;
    s.plateText = {7, 3, 33, 17};
    s.buttonGrid = {46, 1};

    s.menuItemW = 64;
    s.menuItemH = 21;
    s.menuItemAt = {1, 11};
    s.menuDividerH = 7;
    s.menuDividerAt = {1, 1};
    s.menuColumn = 16;
    s.popupSize = 36;
    s.popupBorder = 2;

    s.buttonW = 58;
    s.buttonH = 23;
    s.buttonRadius = 3;
    s.buttonLT = {7, 9};
    s.buttonRT = {50, 9};
    s.buttonClient = {4, 3, 54, 20};
    s.gaugeW = 40;
    s.gaugeH = 17;
    s.gaugeLT = {4, 5};
    s.gaugeRT = {36, 8};
    s.progressArea = {2, 2, 37, 14};
    s.barW = 18;
    s.barEnds = 4;
    s.labelW = 80;
    s.labelH = 20;
    s.labelLT = {4, 8};
    s.labelRT = {75, 8};
    s.labelClient = {4, 3, 76, 17};
    s.fieldRadius = 2;

    s.listW = 60;
    s.listH = 60;
    s.listClient = {2, 2, 57, 57};
    s.itemW = 44;
    s.itemH = 18;

    s.scrollW = 14;
    s.scrollLength = 56;
    s.thumbLength = 20;
    return s;
}

}  // namespace skingen

#include "skin/data/skin_classes.h"

#include "base/string_list.h"
#include "skin/data/resource_strings.h"
#include "skin/data/skin_data.h"
#include "skin/data/stored_skin.h"

namespace skin {

namespace {

using framework::TDefinitionValue;
using framework::TReaderContext;

// A character set by number or by its platform name.
int CharSetOf(const TDefinitionValue& value) {
    if (value.kind == framework::TValueKind::Integer) {
        return value.AsInteger();
    }
    return value.AsEnum<int>({
        {"ANSI_CHARSET", 0},
        {"DEFAULT_CHARSET", 1},
        {"SYMBOL_CHARSET", 2},
        {"SHIFTJIS_CHARSET", 128},
        {"HANGEUL_CHARSET", 129},
        {"GB2312_CHARSET", 134},
        {"CHINESEBIG5_CHARSET", 136},
        {"OEM_CHARSET", 255},
    });
}

}  // namespace

void RegisterSkinDataClasses(framework::TClassRegistry& registry) {
    registry.RegisterClass<TbsCompressedStoredSkin>("TbsCompressedStoredSkin", "");
    registry.RegisterProperty<TbsCompressedStoredSkin>(
        "TbsCompressedStoredSkin", "Description",
        [](TbsCompressedStoredSkin& c, const TDefinitionValue& v, TReaderContext&) {
            c.SetDescription(v.AsString());
        });
    registry.RegisterProperty<TbsCompressedStoredSkin>(
        "TbsCompressedStoredSkin", "FileName",
        [](TbsCompressedStoredSkin& c, const TDefinitionValue& v, TReaderContext&) {
            c.SetFileName(v.AsString());
        });
    registry.RegisterProperty<TbsCompressedStoredSkin>(
        "TbsCompressedStoredSkin", "CompressedFileName",
        [](TbsCompressedStoredSkin& c, const TDefinitionValue& v, TReaderContext&) {
            c.SetCompressedFileName(v.AsString());
        });
    registry.RegisterProperty<TbsCompressedStoredSkin>(
        "TbsCompressedStoredSkin", "CompressedData",
        [](TbsCompressedStoredSkin& c, const TDefinitionValue& v, TReaderContext&) {
            c.SetCompressedData(v.AsBinary());
        });

    registry.RegisterClass<TbsSkinData>("TbsSkinData", "");
    registry.RegisterProperty<TbsSkinData>(
        "TbsSkinData", "CompressedStoredSkin",
        [](TbsSkinData& c, const TDefinitionValue& v, TReaderContext& context) {
            context.Reference<TbsCompressedStoredSkin>(
                v, [&c](TbsCompressedStoredSkin& skin) { c.SetCompressedStoredSkin(&skin); });
        });
    registry.RegisterProperty<TbsSkinData>(
        "TbsSkinData", "ResourceStrData",
        [](TbsSkinData& c, const TDefinitionValue& v, TReaderContext& context) {
            context.Reference<TbsResourceStrData>(
                v, [&c](TbsResourceStrData& strings) { c.SetResourceStrData(&strings); });
        });

    registry.RegisterClass<TbsResourceStrData>("TbsResourceStrData", "");
    registry.RegisterProperty<TbsResourceStrData>(
        "TbsResourceStrData", "ResStrings",
        [](TbsResourceStrData& c, const TDefinitionValue& v, TReaderContext&) {
            base::TStringList lines;
            for (const std::string& line : v.AsStrings()) {
                lines.Add(line);
            }
            c.SetResStrings(lines);
        });
    registry.RegisterProperty<TbsResourceStrData>(
        "TbsResourceStrData", "CharSet",
        [](TbsResourceStrData& c, const TDefinitionValue& v, TReaderContext&) {
            c.SetCharSet(CharSetOf(v));
        });
}

}  // namespace skin

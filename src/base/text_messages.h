#pragma once

// Messages of the code page conversion, shared by its two implementations.
namespace base {
inline constexpr const char* kNotGbkMessage = "Text is not valid GBK (code page 936)";
inline constexpr const char* kNotRepresentableMessage =
    "Text holds characters that code page 936 cannot represent";
}  // namespace base

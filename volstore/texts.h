// The saver's texts and the object names its tests find its widgets by.
#pragma once

namespace v3d::volstore {

inline constexpr const char* kTitleSelectVolume = "Select Volume to Save";
inline constexpr const char* kTitleSaveVolume = "Save Volume";
inline constexpr const char* kTitleSaveProjection = "Save Projection";
inline constexpr const char* kCompressionLabel = "TIFF compression:";
inline constexpr const char* kCompressionNone = "None";
inline constexpr const char* kCompressionLzw = "LZW";
inline constexpr const char* kCompressionDeflate = "Deflate";
inline constexpr const char* kReplaceOne = "%1 already exists.\nDo you want to replace it?";
inline constexpr const char* kReplaceMany =
    "%1 of the files already exist, the first %2.\nDo you want to replace them?";

inline constexpr const char* kSaveDialogName = "volstore_save";
inline constexpr const char* kCompressionBoxName = "compression";

}  // namespace v3d::volstore

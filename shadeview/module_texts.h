// The surface module's own texts, verbatim as the user sees them: the menu, the titles and
// prompts of its dialogs, the file filters and the rendering window's title.
#pragma once

namespace v3d::shade {

// The menu description handed to the host: seven labels, the end marker, the popup title.
// "-" puts a separator before an item, "!" creates it greyed.
inline const char* kMenuDescription[] = {"Build &Surface Script", "-Build &Lines Script",
                                         "&Read Lines Script",    "-&Interactive Rendering",
                                         "!Set Object &Colors",   "!&Take Snapshot",
                                         "!&Make Movie",          nullptr,
                                         "&Surface Rendering"};

// Item indexes, as the command handler receives them.
enum Item : int {
  kItemBuildSurface = 0,
  kItemBuildLines = 1,
  kItemReadLines = 2,
  kItemRender = 3,
  kItemColours = 4,
  kItemSnapshot = 5,
  kItemMovie = 6
};

inline constexpr const char* kSelectInputVolume = "Select Input Volume";
inline constexpr const char* kSelectOutputVolume = "Select Output Volume";
inline constexpr const char* kSelectOutputScript = "Select Output Script File";
inline constexpr const char* kSelectScriptToOpen = "Select Script File to Open";
inline constexpr const char* kOpenScriptFile = "Open Script File";
inline constexpr const char* kDistanceTitle = "Interlayer Distance";
inline constexpr const char* kDistancePrompt = "Enter Interlayer Distance :";
inline constexpr const char* kMovieTitle = "Make Movie";
inline constexpr const char* kMoviePrompt = "Number of Frames :";
inline constexpr const char* kScriptFilter = "Autocad Script Files (*.scr)";
inline constexpr const char* kAllFilesFilter = "All Files (*)";
inline constexpr const char* kRenderingTitle = "Surface Rendering";
inline constexpr const char* kColoursTitle = "Set Object Colors";

// The text-entry dialog keeps at most this many characters (a 20-character buffer with its
// terminator).
inline constexpr int kTextEntryLength = 19;

}  // namespace v3d::shade

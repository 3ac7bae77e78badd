// The texts of the "Specify Object Connections" dialog and its questions, verbatim as the
// user sees them.
#pragma once

namespace v3d::shade {

inline constexpr const char* kConnectionsTitle = "Specify Object Connections";
inline constexpr const char* kConnectionTypeGroup = "Connection Type";
inline constexpr const char* kConnectLower = "Connect lower chain of object A to object B";
inline constexpr const char* kConnectUpper = "Connect upper chain of object A to object B";
inline constexpr const char* kObjectAGroup = "Object A";
inline constexpr const char* kObjectBGroup = "Object B";
inline constexpr const char* kConnectionsLabel = "Connections:";
inline constexpr const char* kSaveConnection = "Save Connection";
inline constexpr const char* kUndoConnection = "Undo Last Connection";
inline constexpr const char* kResetConnections = "Reset All Connections";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kFinish = "Finish";

inline constexpr const char* kAskRender = "Render Produced Surface Script ?";
inline constexpr const char* kAskRenderCaption = "Velmora 3D for Windows.";
inline constexpr const char* kAskBuildBeforeClosing = "Build Surface Script before closing";
inline constexpr const char* kAskBuildCaption = "VELMORA3D for Windows";

// Control ids of the dialog (resource 103), which its Qt view carries as object names.
enum ConnectionsControl {
  kIdConnectLower = 1342,
  kIdConnectUpper = 1343,
  kIdListA = 1344,
  kIdListB = 1345,
  kIdRedA = 1346,
  kIdRedB = 1347,
  kIdGreenA = 1348,
  kIdGreenB = 1349,
  kIdBlueA = 1350,
  kIdBlueB = 1351,
  kIdPreviewA = 1352,
  kIdPreviewB = 1353,
  kIdCount = 1354,
  kIdSave = 1355,
  kIdUndo = 1356,
  kIdReset = 1357,
  kIdCancel = 1358,
  kIdFinish = 1359
};

}  // namespace v3d::shade

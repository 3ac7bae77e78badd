// The File and Help menus: opening files into volumes, the volume table's management
// dialogs, the text dump, the pointer modes of the display windows, Exit and About.
#include <cstring>
#include <string>

#include "core/image_sequence.h"
#include "core/image_size.h"
#include "core/messages.h"
#include "core/raw_files.h"
#include "core/samples.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "core/tiff_stack.h"
#include "shell/command_status.h"
#include "shell/command_table.h"
#include "shell/commands.h"
#include "shell/desk.h"
#include "shell/dialogs.h"
#include "shell/open_dialog.h"
#include "shell/sequence_diagnosis.h"

namespace v3d::shell {
namespace {

// The file of a sequence that a check or read failed on, and why, for the status line.
void noteFailingFile(SequenceCheck check, const OpenDialog& request) {
  if (CommandOutcome* o = currentOutcome())
    o->detail = diagnoseSequence(check, request.baseName, request.lowerFrame, request.digitCount,
                                 request.extensions[0], request.frames);
}

// The open dialog, the check of the files, the target volume, the read.
void cmdOpen(Desk& desk) {
  OpenDialog request;
  if (desk.run(request) != 1) return;
  using Check = int (*)(const char*, int, int, const char*, int, int*, int*, int*);
  using Read = int (*)(Volume*, const char*, int, int, const char*, int);
  // Indexed by kind - kOpenTiff.
  static const Check checks[] = {CheckImageSeqTIFF, CheckImageSeqBMP, CheckImageSeqTGA,
                                 CheckImageSeqGIF, CheckImageSeqJPEG};
  static const Read reads[] = {ReadImageSeqTIFF, ReadImageSeqBMP, ReadImageSeqTGA, ReadImageSeqGIF,
                               ReadImageSeqJPEG};
  const int kind = request.kind();
  const char* base = request.baseName.c_str();
  const char* ext1 = request.extensions[0].c_str();
  int rows = request.rows, columns = request.columns;
  int dataType = request.dataType, colorType = request.colorType;
  CommandRun r(desk);
  if (isImageSequence(kind)) {
    r.busy();
    int colour = 0;
    if (int code = checks[kind - kOpenTiff](base, request.lowerFrame, request.digitCount, ext1,
                                            request.frames, &rows, &columns, &colour);
        code < 0) {
      noteFailingFile(checks[kind - kOpenTiff], request);
      error_handler(code);
      return;
    }
    dataType = V3D_UC;
    colorType = colour ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
  }
  VolumeDialog target(VolumeDialogKind::OpenTarget, std::string(text(kTitleSelectVolumeToOpen)));
  target.suggest(columns, rows, request.frames);
  target.fileDataType = dataType;
  target.fileColorType = colorType;
  if (desk.run(target) != 1) return;
  Volume* v = volumeSlot(target.chosenIndex);
  r.busy();
  if (target.chosenNew) {
    InitializeVolume(v, request.frames, rows, columns, dataType, colorType);
    if (int code = CreateVolume(v); code != 0) {
      error_handler(code);
      return;
    }
  } else if (v->Z < request.frames || v->Y < rows || v->X < columns || v->dataType != dataType ||
             v->colorType != colorType) {
    if (VerifyVolumeReallocation(nullptr) == 0) return;
    if (int code = ReallocateVolume(v, dataType, colorType, request.frames, rows, columns);
        code != 0) {
      error_handler(code);
      return;
    }
  }
  int code;
  if (isImageSequence(kind)) {
    // The per-file readers take images up to the volume's frame size.
    const ScopedImageSize size(v->Y, v->X);
    code = reads[kind - kOpenTiff](v, base, request.lowerFrame, request.digitCount, ext1,
                                   request.frames);
  } else if (kind == kOpenRawFrames) {
    char* extensions[3] = {request.extensions[0].data(), request.extensions[1].data(),
                           request.extensions[2].data()};
    code = fromdiskUCFI3D(v, base, request.lowerFrame, request.digitCount, extensions,
                          request.frames, rows, columns);
  } else {
    code = ReadVolume(v, base, request.lowerFrame, request.frames, rows, columns);
  }
  if (code < 0) {
    // No partly read volume stays in the table.
    closeVolumeWindows(v);
    DestroyVolume(v);
    if (isImageSequence(kind)) noteFailingFile(checks[kind - kOpenTiff], request);
    error_handler(code);
    return;
  }
  r.out = v;  // for the status line
  desk.showVolume(v);
}

// "Open TIFF Stac&k...": every page of one TIFF file into a volume chosen in the open target
// dialog. The pages are read into a volume of the command's own first, outside the table, so
// a damaged page leaves the table as it was; a fitting target then takes the frames, an unfit
// one (after the reallocation question) or a new slot takes the read volume itself.
void cmdOpenTiffStack(Desk& desk) {
  const auto name = desk.openFileName(std::string(text(kTitleOpenTiffStack)),
                                      std::string(text(kTextTiffStackFilter)));
  if (!name) return;
  CommandRun r(desk);
  r.busy();
  int Z = 0, Y = 0, X = 0, dataType = 0, colorType = 0;
  if (int code = CheckTiffStack(name->c_str(), &Z, &Y, &X, &dataType, &colorType); code < 0) {
    error_handler(code);
    return;
  }
  VolumeDialog target(VolumeDialogKind::OpenTarget, std::string(text(kTitleSelectVolumeToOpen)));
  target.suggest(X, Y, Z);
  target.fileDataType = dataType;
  target.fileColorType = colorType;
  if (desk.run(target) != 1) return;
  Volume* v = volumeSlot(target.chosenIndex);
  const bool fits = !target.chosenNew && v->Z >= Z && v->Y >= Y && v->X >= X &&
                    v->dataType == dataType && v->colorType == colorType;
  if (!target.chosenNew && !fits && VerifyVolumeReallocation(nullptr) == 0) return;
  r.busy();
  Volume read{};
  InitializeVolume(&read, Z, Y, X, dataType, colorType);
  if (int code = CreateVolume(&read); code != 0) {
    error_handler(code);
    return;
  }
  fill_in_VOI(&read, 0, Z, 0, Y, 0, X);
  if (int code = ReadTiffStack(&read, name->c_str()); code < 0) {
    DestroyVolume(&read);
    error_handler(code);
    return;
  }
  if (fits) {
    // Frames 0 .. Z - 1, rows and columns from 0, as a read into the volume would fill them.
    withSampleType(dataType, [&](auto tag) {
      using T = typename decltype(tag)::type;
      for (int c = 0; c < channelCount(read); ++c)
        for (int z = 0; z < Z; ++z)
          for (int y = 0; y < Y; ++y)
            std::memcpy(channelData<T>(*v, c)[z][y], channelData<T>(read, c)[z][y],
                        sizeof(T) * static_cast<std::size_t>(X));
    });
    DestroyVolume(&read);
  } else {
    if (!target.chosenNew) {
      closeVolumeWindows(v);
      DestroyVolume(v);
    }
    // The slot takes the read storage; its information text stays.
    char information[V3D_INFORMATION_SIZE];
    std::memcpy(information, v->information, sizeof information);
    *v = read;
    std::memcpy(v->information, information, sizeof information);
  }
  desk.showVolume(v);
}

void cmdDump(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_ANY_TYPE, V3D_ANY_COLOR)) return;
  const auto name =
      desk.saveFileName(std::string(text(kTitleDumpVolume)), std::string(text(kTextAllFiles)));
  if (!name) return;
  r.busy();
  if (int code = dumpUCFI3D(r.in, name->c_str()); code != 0) r.fail(code);
}

void cmdCreate(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::Create, std::string(text(kTitleDialog113)));
  if (desk.run(d) != 1) return;
  Volume* slot = volumeSlot(d.chosenIndex);
  InitializeVolume(slot, d.resultZ, d.resultY, d.resultX, d.resultDataType, d.resultColorType);
  if (int code = CreateVolume(slot); code != 0) error_handler(code);
}

void cmdDestroy(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::Destroy, std::string(text(kTitleSelectVolumeToFree)));
  desk.run(d);
}

void cmdState(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::State, std::string(text(kTitleDialog117)));
  desk.run(d);
}

void cmdSetVoi(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::Voi, std::string(text(kTitleDialog115)));
  if (desk.run(d) != 1) return;
  const auto& b = d.resultVoi;
  fill_in_VOI(d.chosenVolume, b[0], b[1], b[2], b[3], b[4], b[5]);
}

void cmdAbout(Desk& desk) {
  AboutDialog d;
  d.text = std::string(text(kTextAbout));
  desk.run(d);
}

}  // namespace

CommandList fileCommands() {
  return {
      {kCmdOpen, cmdOpen},
      // The saver asks for its own file names; a negative result is reported.
      {kCmdSave, [](Desk&) {
         if (int code = saveWithSaver(); code < 0) error_handler(code);
       }},
      {kCmdOpenTiffStack, cmdOpenTiffStack},
      {kCmdDump, cmdDump},
      {kCmdCreate, cmdCreate},
      {kCmdDestroy, cmdDestroy},
      {kCmdState, cmdState},
      {kCmdSetVoi, cmdSetVoi},
      {kCmdCoordinates, [](Desk& d) { pointerModes().coordinatesShown = d.toggleCoordinates(); }},
      {kCmdWriteVoxel, [](Desk&) { pointerModes().voxelWriting = true; }},
      {kCmdExit, [](Desk& d) { d.quit(); }},
      {kCmdAbout, cmdAbout},
  };
}

}  // namespace v3d::shell

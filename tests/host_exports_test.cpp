// The program's exports: every ordinal keeps its function, each built function answers at its
// ordinal with the same address the dynamic linker gives for its name, and the pending
// entries are exactly the functions not built yet.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "host/export_table.h"
#include "host/module_api.h"

namespace v3d::test {
namespace {

// The ordinals modules bind; a change here breaks every module built before it.
const std::map<int, std::string> kOrdinals = {
    {1, "InitializeVolume"},
    {2, "fill_in_VOI"},
    {3, "CreateVolume"},
    {4, "DestroyVolume"},
    {5, "CheckVolume"},
    {6, "CheckIfUCBinary"},
    {7, "CheckIfVolumeClear"},
    {8, "fromdiskUCFI3D"},
    {9, "todiskUCFI3D"},
    {10, "dumpUCFI3D"},
    {11, "ReadVolume"},
    {12, "WriteVolume"},
    {13, "CheckImageSeqTIFF"},
    {14, "ReadImageSeqTIFF"},
    {15, "local_WriteImageSeqTIFF"},
    {16, "ClearVolume"},
    {17, "CopyVolume"},
    {18, "CopyFrame2Image"},
    {19, "CopyImage2Frame"},
    {20, "UCVolume2FVolume"},
    {21, "FVolume2UCVolume"},
    {22, "FVolume2UCVolume_norm"},
    {23, "or3d"},
    {24, "xor3d"},
    {25, "and3d"},
    {26, "RotateVol2d"},
    {27, "RotateVol3d"},
    {28, "Symmetric3d"},
    {29, "zoom3d"},
    {30, "decim3"},
    {31, "InterpolationNearestNeighbor3d"},
    {32, "InterpolationLinear3d"},
    {33, "InterpolationFrameLinear3d"},
    {34, "FrameInterpolationBinary"},
    {35, "FrameInterpolationGrayscale"},
    {36, "FrameContourObjectFill"},
    {37, "FrameZeroPadding"},
    {38, "hist3"},
    {39, "cdfhist3"},
    {40, "histeq3"},
    {41, "HistogramEqual3d"},
    {42, "conv3"},
    {43, "convolution3"},
    {44, "overlap_add3"},
    {45, "mov_ave3"},
    {46, "median3"},
    {47, "run_median3"},
    {48, "wei_median3"},
    {49, "multistage_median3"},
    {50, "run_max3"},
    {51, "run_min3"},
    {52, "l_filter3"},
    {53, "local_adapt_filt3"},
    {54, "wienerfrequency3"},
    {55, "Sobel_3D"},
    {56, "compas3d"},
    {57, "laplace_3d"},
    {58, "range_3d"},
    {59, "Hough_3D"},
    {60, "edge_follow_3d"},
    {61, "modedg3d"},
    {62, "push_3d"},
    {63, "pop_3d"},
    {64, "threshold_3d"},
    {65, "region3d_grow"},
    {66, "region3d_merge"},
    {67, "region3d_split"},
    {68, "region3d_splitmerge"},
    {69, "grass3d_label"},
    {70, "CountNonZeroPoints3d"},
    {71, "CountNonZeroSurfacePoints3d"},
    {72, "FindBoundingBox3d"},
    {73, "FindMinMaxIntensity"},
    {74, "lrcfft3d"},
    {75, "vrfft3d"},
    {76, "fft3d"},
    {77, "correlation3d"},
    {78, "blackman_tukey_psd3d"},
    {79, "DCT3d"},
    {80, "IDCT3d"},
    {81, "reim2magnphase3d"},
    {82, "magnphase2reim3d"},
    {83, "fft2image3d"},
    {84, "MinkowskiAddition3d"},
    {85, "MinkowskiSubtraction3d"},
    {86, "bdilate3d"},
    {87, "berode3d"},
    {88, "bopening3d"},
    {89, "bclosing3d"},
    {94, "ProduceFrameGallery3d"},
    {95, "Provoli2d"},
    {96, "Provoli3d"},
    {97, "ProvoliAvrg2d"},
    {98, "ProvoliAvrg3d"},
    {99, "ProvoliMax2d"},
    {100, "ProvoliMax3d"},
    {101, "TomiOrth"},
    {102, "TomiRand1"},
    {103, "TomiRand2"},
    {104, "Provoli2dBinary"},
    {105, "Provoli3dBinary"},
    {106, "Provoli3dSurface"},
    {107, "Provoli3dSurfaceColor"},
    {108, "error_handler"},
    {109, "SetMenuItemState"},
    {110, "GetInputVolume"},
    {111, "CreateVolumeEx"},
    {112, "DisplayVolume"},
    {113, "GetVelmora3DInfo"},
    {114, "GetOutputVolume"},
    {115, "VerifyVolumeReallocation"},
    {116, "freedisWin"},
    {117, "RegisterProjectionType"},
    {118, "CreateProjection"},
    {119, "DisplayProjection"},
    {120, "CreateBuffer"},
    {121, "PrintCoordinates"},
    {128, "GetVolumeIndex"},
    {129, "savetiff"},
    {130, "GetNewVolumeIndex"},
    // Ours, from 131 up.
    {131, "CheckTiffStack"},
    {132, "ReadTiffStack"},
    {133, "WriteTiffStack"},
    {134, "WriteTiffSequence"},
    {135, "SaverWroteVolume"},
};

// Functions not built yet. Building one means filling its entry in host/export_table.cpp
// and taking it off this list.
const std::set<std::string> kPending = {};

TEST(ExportTable, EveryOrdinalAnswersItsFunctionByNameOrIsPending) {
  for (int ordinal = -1; ordinal <= 140; ++ordinal) {
    void* address = Velmora3DExportByOrdinal(ordinal);
    const auto it = kOrdinals.find(ordinal);
    if (it == kOrdinals.end()) {
      EXPECT_EQ(address, nullptr) << "ordinal " << ordinal << " is assigned to no function";
      continue;
    }
    void* byName = ::dlsym(RTLD_DEFAULT, it->second.c_str());
    if (kPending.contains(it->second)) {
      EXPECT_EQ(address, nullptr) << it->second << " is pending";
      EXPECT_EQ(byName, nullptr) << it->second << " is built: fill its entry in the table";
    } else {
      EXPECT_NE(address, nullptr) << it->second;
      EXPECT_EQ(address, byName) << it->second << " at ordinal " << ordinal;
    }
  }
  EXPECT_EQ(::dlsym(RTLD_DEFAULT, V3D_EXPORT_BY_ORDINAL_NAME),
            reinterpret_cast<void*>(&Velmora3DExportByOrdinal))
      << "modules find the lookup by name";
}

TEST(ExportTable, TableListsExactlyTheOrdinalsAndPendingEntries) {
  std::map<int, std::string> listed;
  std::set<std::string> pending;
  int previous = 0;
  for (const host::ExportEntry& e : host::exportTable()) {
    EXPECT_GT(e.ordinal, previous) << "ascending, each ordinal once";
    previous = e.ordinal;
    listed[e.ordinal] = e.name;
    if (e.address == nullptr) pending.insert(e.name);
  }
  EXPECT_EQ(listed, kOrdinals);
  EXPECT_EQ(pending, kPending);
}

}  // namespace
}  // namespace v3d::test

// The export table. Each built function is referenced here, which also links it into the
// program, whose symbols are exported, so it is reachable by name as well. A pending entry
// names a function that is not built yet; filling it in is a one-word change.
#include "host/export_table.h"

#include <algorithm>

#include "host/module_api.h"
#include "host/module_host.h"
#include "shell/coordinates.h"

namespace v3d::host {
namespace {

template <typename F>
void* fn(F* function) {
  return reinterpret_cast<void*>(function);
}
constexpr void* kPending = nullptr;

const ExportEntry kTable[] = {
    {1, "InitializeVolume", fn(&InitializeVolume)},
    {2, "fill_in_VOI", fn(&fill_in_VOI)},
    {3, "CreateVolume", fn(&CreateVolume)},
    {4, "DestroyVolume", fn(&DestroyVolume)},
    {5, "CheckVolume", fn(&CheckVolume)},
    {6, "CheckIfUCBinary", fn(&CheckIfUCBinary)},
    {7, "CheckIfVolumeClear", fn(&CheckIfVolumeClear)},
    {8, "fromdiskUCFI3D", fn(&fromdiskUCFI3D)},
    {9, "todiskUCFI3D", fn(&todiskUCFI3D)},
    {10, "dumpUCFI3D", fn(&dumpUCFI3D)},
    {11, "ReadVolume", fn(&ReadVolume)},
    {12, "WriteVolume", fn(&WriteVolume)},
    {13, "CheckImageSeqTIFF", fn(&CheckImageSeqTIFF)},
    {14, "ReadImageSeqTIFF", fn(&ReadImageSeqTIFF)},
    {15, "local_WriteImageSeqTIFF", fn(&local_WriteImageSeqTIFF)},
    {16, "ClearVolume", fn(&ClearVolume)},
    {17, "CopyVolume", fn(&CopyVolume)},
    {18, "CopyFrame2Image", fn(&CopyFrame2Image)},
    {19, "CopyImage2Frame", fn(&CopyImage2Frame)},
    {20, "UCVolume2FVolume", fn(&UCVolume2FVolume)},
    {21, "FVolume2UCVolume", fn(&FVolume2UCVolume)},
    {22, "FVolume2UCVolume_norm", fn(&FVolume2UCVolume_norm)},
    {23, "or3d", fn(&or3d)},
    {24, "xor3d", fn(&xor3d)},
    {25, "and3d", fn(&and3d)},
    {26, "RotateVol2d", fn(&RotateVol2d)},
    {27, "RotateVol3d", fn(&RotateVol3d)},
    {28, "Symmetric3d", fn(&Symmetric3d)},
    {29, "zoom3d", fn(&zoom3d)},
    {30, "decim3", fn(&decim3)},
    {31, "InterpolationNearestNeighbor3d", fn(&InterpolationNearestNeighbor3d)},
    {32, "InterpolationLinear3d", fn(&InterpolationLinear3d)},
    {33, "InterpolationFrameLinear3d", fn(&InterpolationFrameLinear3d)},
    {34, "FrameInterpolationBinary", fn(&FrameInterpolationBinary)},
    {35, "FrameInterpolationGrayscale", fn(&FrameInterpolationGrayscale)},
    {36, "FrameContourObjectFill", fn(&FrameContourObjectFill)},
    {37, "FrameZeroPadding", fn(&FrameZeroPadding)},
    {38, "hist3", fn(&hist3)},
    {39, "cdfhist3", fn(&cdfhist3)},
    {40, "histeq3", fn(&histeq3)},
    {41, "HistogramEqual3d", fn(&HistogramEqual3d)},
    {42, "conv3", fn(&conv3)},
    {43, "convolution3", fn(&convolution3)},
    {44, "overlap_add3", fn(&overlap_add3)},
    {45, "mov_ave3", fn(&mov_ave3)},
    {46, "median3", fn(&median3)},
    {47, "run_median3", fn(&run_median3)},
    {48, "wei_median3", fn(&wei_median3)},
    {49, "multistage_median3", fn(&multistage_median3)},
    {50, "run_max3", fn(&run_max3)},
    {51, "run_min3", fn(&run_min3)},
    {52, "l_filter3", fn(&l_filter3)},
    {53, "local_adapt_filt3", fn(&local_adapt_filt3)},
    {54, "wienerfrequency3", fn(&wienerfrequency3)},
    {55, "Sobel_3D", fn(&Sobel_3D)},
    {56, "compas3d", fn(&compas3d)},
    {57, "laplace_3d", fn(&laplace_3d)},
    {58, "range_3d", fn(&range_3d)},
    {59, "Hough_3D", fn(&Hough_3D)},
    {60, "edge_follow_3d", fn(&edge_follow_3d)},
    {61, "modedg3d", fn(&modedg3d)},
    {62, "push_3d", fn(&push_3d)},
    {63, "pop_3d", fn(&pop_3d)},
    {64, "threshold_3d", fn(&threshold_3d)},
    {65, "region3d_grow", fn(&region3d_grow)},
    {66, "region3d_merge", fn(&region3d_merge)},
    {67, "region3d_split", fn(&region3d_split)},
    {68, "region3d_splitmerge", fn(&region3d_splitmerge)},
    {69, "grass3d_label", fn(&grass3d_label)},
    {70, "CountNonZeroPoints3d", fn(&CountNonZeroPoints3d)},
    {71, "CountNonZeroSurfacePoints3d", fn(&CountNonZeroSurfacePoints3d)},
    {72, "FindBoundingBox3d", fn(&FindBoundingBox3d)},
    {73, "FindMinMaxIntensity", fn(&FindMinMaxIntensity)},
    {74, "lrcfft3d", fn(&lrcfft3d)},
    {75, "vrfft3d", fn(&vrfft3d)},
    {76, "fft3d", fn(&fft3d)},
    {77, "correlation3d", fn(&correlation3d)},
    {78, "blackman_tukey_psd3d", fn(&blackman_tukey_psd3d)},
    {79, "DCT3d", fn(&DCT3d)},
    {80, "IDCT3d", fn(&IDCT3d)},
    {81, "reim2magnphase3d", fn(&reim2magnphase3d)},
    {82, "magnphase2reim3d", fn(&magnphase2reim3d)},
    {83, "fft2image3d", fn(&fft2image3d)},
    {84, "MinkowskiAddition3d", fn(&MinkowskiAddition3d)},
    {85, "MinkowskiSubtraction3d", fn(&MinkowskiSubtraction3d)},
    {86, "bdilate3d", fn(&bdilate3d)},
    {87, "berode3d", fn(&berode3d)},
    {88, "bopening3d", fn(&bopening3d)},
    {89, "bclosing3d", fn(&bclosing3d)},
    {94, "ProduceFrameGallery3d", fn(&ProduceFrameGallery3d)},
    {95, "Provoli2d", fn(&Provoli2d)},
    {96, "Provoli3d", fn(&Provoli3d)},
    {97, "ProvoliAvrg2d", fn(&ProvoliAvrg2d)},
    {98, "ProvoliAvrg3d", fn(&ProvoliAvrg3d)},
    {99, "ProvoliMax2d", fn(&ProvoliMax2d)},
    {100, "ProvoliMax3d", fn(&ProvoliMax3d)},
    {101, "TomiOrth", fn(&TomiOrth)},
    {102, "TomiRand1", fn(&TomiRand1)},
    {103, "TomiRand2", fn(&TomiRand2)},
    {104, "Provoli2dBinary", fn(&Provoli2dBinary)},
    {105, "Provoli3dBinary", fn(&Provoli3dBinary)},
    {106, "Provoli3dSurface", fn(&Provoli3dSurface)},
    {107, "Provoli3dSurfaceColor", fn(&Provoli3dSurfaceColor)},
    {108, "error_handler", fn(&error_handler)},
    {109, "SetMenuItemState", fn(&SetMenuItemState)},
    {110, "GetInputVolume", fn(&GetInputVolume)},
    {111, "CreateVolumeEx", fn(&CreateVolumeEx)},
    {112, "DisplayVolume", fn(&DisplayVolume)},
    {113, "GetVelmora3DInfo", fn(&GetVelmora3DInfo)},
    {114, "GetOutputVolume", fn(&GetOutputVolume)},
    {115, "VerifyVolumeReallocation", fn(&VerifyVolumeReallocation)},
    {116, "freedisWin", fn(&freedisWin)},
    {117, "RegisterProjectionType", fn(&RegisterProjectionType)},
    {118, "CreateProjection", fn(&CreateProjection)},
    {119, "DisplayProjection", fn(&DisplayProjection)},
    {120, "CreateBuffer", fn(&CreateBuffer)},
    {121, "PrintCoordinates", fn(&PrintCoordinates)},
    {128, "GetVolumeIndex", fn(&GetVolumeIndex)},
    {129, "savetiff", fn(&savetiff)},
    {130, "GetNewVolumeIndex", fn(&GetNewVolumeIndex)},
    // Ours, from 131 up.
    {131, "CheckTiffStack", fn(&CheckTiffStack)},
    {132, "ReadTiffStack", fn(&ReadTiffStack)},
    {133, "WriteTiffStack", fn(&WriteTiffStack)},
    {134, "WriteTiffSequence", fn(&WriteTiffSequence)},
    {135, "SaverWroteVolume", fn(&SaverWroteVolume)},
};

}  // namespace

std::span<const ExportEntry> exportTable() {
  return kTable;
}

}  // namespace v3d::host

extern "C" void* Velmora3DExportByOrdinal(int ordinal) {
  const auto table = v3d::host::exportTable();
  const auto it =
      std::lower_bound(table.begin(), table.end(), ordinal,
                       [](const v3d::host::ExportEntry& e, int o) { return e.ordinal < o; });
  return it != table.end() && it->ordinal == ordinal ? it->address : nullptr;
}

/* Named result codes. Every function of the volume library returns 0 for success or one of
 * these negative codes; the magnitude of a code is the id of its message in the string table
 * (core/strings.cpp), so error_handler(code) shows the matching text. A code's value is part
 * of the module interface and of stored habits, so a value never changes; only names are ours.
 *
 * Plain C enumerators, so that C and C++ modules can use them through host/module_api.h. */
#ifndef VELMORA3D_CORE_RESULT_CODES_H
#define VELMORA3D_CORE_RESULT_CODES_H

enum {
  kSuccess = 0,

  /* Pointer, buffer and parameter failures. */
  kNullImagePointer = -1,
  kNullVectorPointer = -2,
  kNullMosaicImagePointer = -3,
  kNullBasicTypePointer = -4,
  kCannotAllocateBuffer = -9,
  kCannotAllocateBuffer2 = -10,
  kInvalidMosaicPairs = -12,
  kMoreThan255Colors = -13,
  kInvalidWorkingArea = -21,
  kSourceExceedsDestination = -22,
  kImageCannotBeDisplayed = -23,
  kInvalidWindowSize = -24,
  kInvalidOrderStatistic = -25,
  kJpegReadError = -29,
  kTgaReadError = -30,
  kBmpReadError = -31,
  kGifReadError = -32,
  kSizeNotPowerOfTwo = -33,
  kNotSquare = -34,
  kDestinationIsSource = -36,
  kTooFewFeaturePoints = -40,
  kInvalidClip = -41,
  kInvalidCoordinates = -44,
  kInvalidSizeParameter = -50,
  kInvalidGrayLevels = -60,
  kInvalidHalftones = -62,
  kInvalidAngle = -70,
  kMatrixNotInvertible = -71,
  kWindowNotSquare = -72,
  kInvalidNoiseParameter = -80,
  kNegativeNoiseVariance = -81,
  kLargeWindowSmaller = -82,
  kWeightSumTooLarge = -84,
  kNegativeAdaptation = -85,
  kZeroCoefficientSum = -86,
  kZeroRatioTerm = -87,
  kZeroLpPower = -88,
  kInvalidIntermediateResults = -89,
  kInvalidParameters = -90,
  kNoSuccessors = -91,
  kTooManyRegions = -92,
  kRoiBorderViolated = -93,
  kTooManyNodes = -94,
  kNullChain = -95,
  kTooManyBorderPixels = -96,
  kSeedError = -97,
  kStackEmpty = -98,
  kStackNotEmpty = -99,
  kGrayscaleImage = -100,

  /* Display, file and decoder failures. */
  kInvalidVideoMode = -200,
  kUnsupportedVideoMode = -201,
  kCannotOpenFile = -300,
  kDecodingTreeError = -310,
  kDecodingError = -320,
  kNotEnoughToDecode = -330,
  kClearCodeMissing = -340,
  kWatermarkNotApplicable = -400,

  /* Volume failures. */
  kNullVolume = -501,
  kWrongDataType = -502,
  kWrongColorType = -503,
  kNullSequence = -504,
  kInvalidVoi = -510,
  kInvalidOutputDimensions = -520,
  kInvalidInputDimensions = -521,
  kInvalidOutputDataType = -522,
  kInvalidOutputColorType = -523,
  kInvalidWeightsVolume = -524,
  kSameInputOutput = -525,
  kCannotAllocateVolume = -530,
  kVoiNotPowerOfTwo = -533,
  kVoiNotCubic = -534,
  kNotBinary = -535,
  kInvalidDestination = -536,
  kFileParsingError = -548,

  /* Stream input and output. */
  kFopenError = -600,
  kFreadError = -601,
  kFwriteError = -602,

  /* Application failures. */
  kTooMany2dWindows = -609,
  kCannotSaveVolume = -610,
  kCannotDisplayFrames = -611,
  kTooMany3dWindows = -612,
  kPaletteAllocationFailed = -613,
  kBadFileName = -614,
  kBadVoi = -615,
  kNotEnoughMemory = -616,
  kPrintingError = -617,
  kWinUcParameterError = -618,
  kWinFParameterError = -619,
  kImageNotBinary = -624,
  kCannotAllocateSpace = -627,
  kTooFewFloatBuffers = -629,
  kDimensionNotPowerOfTwo = -630,
  kFloatBufferMismatch = -631,
  kImproperThreshold = -632,
  kErrorInInput = -633,
  kSavingError = -634,
  kInitializationError = -635,
  kNoFileName = -636,
  kGenericError = -647,
  kCannotCreateWindow = -723,
  kOnlyFromUserModule = -729,
  kBadBufferNumber = -732,
  kImagesDiffer = -733,
  kImproperPointCount = -734,
  kSeedsNotSpecified = -990,
  kPathStackEmpty = -999,
  kTiffError = -1000,
  kTiffSequenceMismatch = -1001,
  /* TIFF stacks and saving (core/tiff_stack.h). */
  kTiffStackMismatch = -1100,
  kTiffUnsupportedSamples = -1101,
  kTiffDamagedPage = -1102,
  kCannotWriteFile = -1103,

  /* Open dialog and module host. */
  kLowerFrameAboveUpper = -7000,
  kBadVolumeDimensions = -7001,
  kFileDoesNotExist = -7002,
  kModuleError = -7004,

  /* A long operation stopped by the user (core/progress.h). */
  kOperationCancelled = -20950
};

/* Question texts, shown by id (not result codes). */
enum { kAskReallocateOutput = 3092, kAskModifyInput = 3106 };

#endif

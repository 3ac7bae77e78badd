// The Transforms menu: the Fourier transform and its inverse on complex volume pairs, the
// cosine transform and its inverse, convolution and correlation through the transform, the
// spectrum picture and the Blackman-Tukey power spectrum.
//
// Outputs of another data type than their input may not be the input (kSameInputOutput):
// fitting the output would reallocate, and so destroy, the volume the command reads. The
// two outputs of the Fourier transform may not be one volume either.
#include "algorithms/fourier.h"
#include "algorithms/linear_filters.h"
#include "algorithms/spectral.h"
#include "core/basic_ops.h"
#include "core/messages.h"
#include "core/samples.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/dialogs.h"

namespace v3d::shell {
namespace {

// A one-channel float volume outside the table for the length of a command.
class WorkVolume {
 public:
  WorkVolume() = default;
  WorkVolume(const WorkVolume&) = delete;
  WorkVolume& operator=(const WorkVolume&) = delete;
  ~WorkVolume() { DestroyVolume(&v_); }
  // CreateVolume's code.
  int create(int Z, int Y, int X) {
    InitializeVolume(&v_, Z, Y, X, V3D_F, V3D_ONE_CHANNEL);
    return CreateVolume(&v_);
  }
  Volume* get() { return &v_; }

 private:
  Volume v_{};
};

// A work volume holding the input's VOI as floats from its origin; CreateVolume's or the
// conversion's code.
int floatCopyOfVoi(Volume* in, WorkVolume& work) {
  const Box voi = voiOf(*in);
  if (int code = work.create(voi.depth(), voi.height(), voi.width()); code != 0) return code;
  return UCVolume2FVolume(in, work.get(), 0, 0, 0);
}

void setVoi(Volume* v, const Box& b) {
  fill_in_VOI(v, b.z0, b.z1, b.y0, b.y1, b.x0, b.x1);
}

// An output the command made and now gives up without a report.
void discard(CommandRun& r) {
  if (r.outMadeHere && r.out != nullptr) {
    closeVolumeWindows(r.out);
    DestroyVolume(r.out);
  }
}

bool refuseInput(CommandRun& r, const Volume* input) {
  if (r.outIsNew || r.out != input) return false;
  error_handler(kSameInputOutput);
  return true;
}

// FFT: the input's VOI as floats into the real output, the imaginary output cleared, then
// the forward transform in place on the pair. The outputs hold the block at the VOI origin
// (their size is the VOI's upper bounds, so that a VOI away from the origin fits) and get
// the input's VOI.
void cmdFft(Desk& desk) {
  CommandRun re(desk);
  if (!re.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  const Box voi = voiOf(*re.in);
  if (!re.askOutput(kTitleOutRealPart, voi.x1, voi.y1, voi.z1)) return;
  if (re.refuseSameOutput()) return;
  // The real output exists before the second dialog offers a new slot of its own.
  if (!re.prepareOutput(V3D_F, V3D_ONE_CHANNEL, voi.x1, voi.y1, voi.z1)) return;
  CommandRun im(desk);
  im.in = re.in;
  if (!im.askOutput(kTitleOutImaginaryPart, voi.x1, voi.y1, voi.z1) || im.refuseSameOutput() ||
      refuseInput(im, re.out) ||
      !im.prepareOutput(V3D_F, V3D_ONE_CHANNEL, voi.x1, voi.y1, voi.z1)) {
    discard(re);
    return;
  }
  setVoi(re.out, voi);
  setVoi(im.out, voi);
  float zero = 0.0f;
  int code = UCVolume2FVolume(re.in, re.out, voi.z0, voi.y0, voi.x0);
  if (code == 0) code = ClearVolume(im.out, &zero);
  if (code == 0) code = fft3d(re.out, im.out, re.out, im.out, 0, voi.z0, voi.y0, voi.x0);
  if (code < 0) {
    discard(im);
    re.fail(code);
    return;
  }
  desk.showVolume(re.out);
  desk.showVolume(im.out);
}

// IFFT: the inverse transform in place on the input pair, then its real part to 8 bits.
void cmdIfft(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleInRealPart, V3D_F, V3D_ONE_CHANNEL)) return;
  // The imaginary part is another volume: one volume cannot hold both results.
  VolumeDialog second(VolumeDialogKind::Choice, std::string(text(kTitleInImaginaryPart)), V3D_F,
                      V3D_ONE_CHANNEL);
  second.excludedA = r.inIndex;
  if (desk.run(second) != 1 || second.chosenVolume == nullptr) return;
  r.in2 = second.chosenVolume;
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (r.refuseSameOutput() || refuseInput(r, r.in2)) return;
  if (!r.prepareOutput(V3D_UC, V3D_ONE_CHANNEL, r.in->X, r.in->Y, r.in->Z)) return;
  const Box voi = voiOf(*r.in);
  setVoi(r.out, voi);
  int code = fft3d(r.in, r.in2, r.in, r.in2, 1, voi.z0, voi.y0, voi.x0);
  if (code == 0) code = FVolume2UCVolume(r.in, r.out, voi.z0, voi.y0, voi.x0);
  r.finish(code);
}

// DCT: the whole input as floats into the output, transformed there.
void cmdDct(Desk& desk) {
  CommandRun r(desk);
  if (!r.askChoice(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  fill_in_VOI(r.in, 0, r.in->Z, 0, r.in->Y, 0, r.in->X);
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (r.refuseSameOutput()) return;
  if (!r.prepareOutput(V3D_F, V3D_ONE_CHANNEL, r.in->X, r.in->Y, r.in->Z)) return;
  fill_in_VOI(r.out, 0, r.out->Z, 0, r.out->Y, 0, r.out->X);
  int code = UCVolume2FVolume(r.in, r.out, 0, 0, 0);
  if (code == 0) code = DCT3d(r.out, r.out);
  r.finish(code);
}

// IDCT: the inverse in place on the input, then to 8 bits (NaN 0, clamped to 0..255).
void cmdIdct(Desk& desk) {
  CommandRun r(desk);
  if (!r.askChoice(kTitleSelectInputVolume, V3D_F, V3D_ONE_CHANNEL)) return;
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (r.refuseSameOutput()) return;
  if (!r.prepareOutput(V3D_UC, V3D_ONE_CHANNEL, r.in->X, r.in->Y, r.in->Z)) return;
  int code = IDCT3d(r.in, r.in);
  if (code == 0) code = FVolume2UCVolume(r.in, r.out, 0, 0, 0);
  r.finish(code);
}

// Convolution and correlation of two 8-bit inputs' VOIs as floats; the output holds the
// doubled block (twice the first input's VOI extents), which is also its required size.
void cmdConvolveOrCorrelate(Desk& desk, bool correlate) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  if (!r.askSecondInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  const Box voi = voiOf(*r.in);
  const int X = 2 * voi.width(), Y = 2 * voi.height(), Z = 2 * voi.depth();
  if (!r.askOutput(kTitleSelectOutputVolume, X, Y, Z)) return;
  if (r.refuseSameOutput() || refuseInput(r, r.in2)) return;
  if (!r.prepareOutput(V3D_F, V3D_ONE_CHANNEL, X, Y, Z)) return;
  WorkVolume x, y;
  int code = floatCopyOfVoi(r.in, x);
  if (code == 0) code = floatCopyOfVoi(r.in2, y);
  if (code == 0)
    code = correlate ? correlation3d(x.get(), y.get(), r.out, 0, 0, 0)
                     : convolution3(x.get(), y.get(), r.out, 0, 0, 0);
  r.finish(code);
}

// Spectrum magnitude: the picture of the input VOI's spectrum at the VOI's place.
int spectrumPicture(CommandRun& r) {
  const Box voi = voiOf(*r.in);
  WorkVolume re, im;
  int code = floatCopyOfVoi(r.in, re);
  if (code == 0) code = im.create(voi.depth(), voi.height(), voi.width());
  if (code == 0) code = fft3d(re.get(), im.get(), re.get(), im.get(), 0, 0, 0, 0);
  if (code == 0) code = fft2image3d(re.get(), im.get(), r.out, voi.z0, voi.y0, voi.x0);
  return code;
}

// Blackman-Tukey PSD: the spectrum estimate's picture, (2Nz, 2Ny, 2Nx) samples.
void cmdBlackmanTukey(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  const Box voi = voiOf(*r.in);
  const int X = 2 * voi.width(), Y = 2 * voi.height(), Z = 2 * voi.depth();
  if (!r.askOutput(kTitleSelectOutputVolume, X, Y, Z)) return;
  if (r.refuseSameOutput()) return;
  if (!r.askValues(kTitleAttenuation,
                   {kPromptXCoefficient, kPromptYCoefficient, kPromptZCoefficient}))
    return;
  if (!r.prepareOutput(V3D_UC, V3D_ONE_CHANNEL, X, Y, Z)) return;
  WorkVolume spectrum, zero;
  int code = spectrum.create(Z, Y, X);
  if (code == 0) code = zero.create(Z, Y, X);
  if (code == 0) code = blackman_tukey_psd3d(r.in, spectrum.get(), r.ints[2], r.ints[1], r.ints[0]);
  if (code == 0) code = fft2image3d(spectrum.get(), zero.get(), r.out, 0, 0, 0);
  r.finish(code);
}

}  // namespace

CommandList transformCommands() {
  return {
      {kCmdFft, cmdFft},
      {kCmdIfft, cmdIfft},
      {kCmdDct, cmdDct},
      {kCmdIdct, cmdIdct},
      {kCmdConvolution, [](Desk& desk) { cmdConvolveOrCorrelate(desk, false); }},
      {kCmdCorrelation, [](Desk& desk) { cmdConvolveOrCorrelate(desk, true); }},
      row(kCmdSpectrumMagnitude).input(V3D_UC, V3D_ONE_CHANNEL).runs(spectrumPicture),
      {kCmdBlackmanTukeyPsd, cmdBlackmanTukey},
  };
}

}  // namespace v3d::shell

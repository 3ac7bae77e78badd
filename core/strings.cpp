// The one string table of the system. Rows are kept sorted by identifier (checked at compile
// time) so that a lookup is a binary search and a duplicate identifier cannot slip in.
#include "core/strings.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace v3d {
namespace {

struct Entry {
  int id;
  std::string_view text;
};

constexpr Entry kTable[] = {
    // Pointer, buffer and parameter failures.
    {1, "NULL image/matrix pointer"},
    {2, "NULL vector, window pointer"},
    {3, "NULL misimage pointer for manual mosaic"},
    {4, "NULL basic type pointer"},
    {9, "Cannot allocate internal buffer"},
    {10, "Cannot allocate internal buffer"},
    {12, "Invalid number of pairs for manually mosaic"},
    {13, "Image contains more than 255 colors"},
    {21, "Invalid working area parameters"},
    {22, "Entire source buffer cannot be stored on destination buffer"},
    {23, "Entire image cannot be displayed"},
    {24, "Invalid window size"},
    {25, "Invalid order statistic parameter"},
    {29, "Error in reading JPEG file"},
    {30, "Error in reading TGA file"},
    {31, "Error in reading BMP files"},
    {32, "Error in reading GIF files"},
    {33, "Given size is not a power of 2"},
    {34, "Image or matrix is not square"},
    {36, "Destination buffer is identical to source buffer"},
    {40, "Too few valid feature points for refined registration"},
    {41, "Invalid clip parameters, cmin>cmax"},
    {44, "Invalid coordinates, i or j"},
    {50, "Invalid size parameter, M>NSIG"},
    {60, "Invalid number of gray levels"},
    {62, "Invalid number of halftones"},
    {70, "Invalid angle"},
    {71, "Matrix cannot be inverted"},
    {72, "The filter window is not square"},
    {80, "Invalid noise parameter"},
    {81, "noise variance negative"},
    {82, "The large window in the dw_mtm filter is smaller than the small window"},
    {84, "The sum of the weights in the weighted median filter exceed the maximum limit"},
    {85, "adaptation coefficient is less than zero"},
    {86, "The sum of the filter coefficients is zero"},
    {87, "The denominator or the numerator of the snr or L2 error ratio is zero"},
    {88, "The power p of the Lp filter is zero"},
    {89, "Invalid intermediate results"},
    {90, "Invalid parameters"},
    {91, "current pixel has no successors"},
    {92, "Maximum number of regions has been exceeded"},
    {93, "ROI border has been violated"},
    {94, "Maxinum number of nodes has been exceeded"},
    {95, "Chain is NULL"},
    {96, "Too many border pixels found"},
    {97, "Error in seeds"},
    {98, "stack is empty"},
    {99, "stack is not empty originally"},
    {100, "It is a grayscale image"},
    // Display, file and decoder failures.
    {200, "Invalid video mode"},
    {201, "Not supported video mode"},
    {300, "Unable to open file"},
    {310, "Error in decoding tree construction"},
    {320, "decoding error"},
    {330, "input file does not contain enough information for decoding"},
    {340, "ClearCode missing from input file while decoding or must be outputed while encoding"},
    {400, "Watermarking cannot be applied to this image"},
    // Volume failures.
    {501, "NULL Volume pointer"},
    {502, "Wrong data type in volume"},
    {503, "Wrong color type in volume"},
    {504, "NULL image/matrix/imatrix sequence"},
    {510, "Invalid VOI definitions"},
    {520, "Invalid output volume dimensions"},
    {521, "Invalid input volume dimensions"},
    {522, "Invalid output volume data type"},
    {523, "Invalid output volume colortype"},
    {524, "Invalid weights volume"},
    {525, "Same input/output volume"},
    {530, "Cannot allocate internal volume"},
    {533, "Given VOI dimensions are not power of 2"},
    {534, "Input VOI is not cubic"},
    {535, "Volume is not binary"},
    {536, "Invalid destination coordinates"},
    // Compressed-sequence failures.
    {540, "Input compressed file is not an MPEG2/MPEG1 compressed file"},
    {541, "Premature end of picture"},
    {542, "Too many MBs in picture"},
    {543, "Streams out of synchronization. Cannot be synchronized"},
    {544, "Unsupported scalability mode"},
    {545, "Invalid motion type"},
    {546, "Last frame incomplete, not stored"},
    {547, "Too large chain encountered"},
    {548, "File parsing error"},
    {549, "Invalid value in quantization matrix."},
    {550, "Wrong value in MPEG2 parameter set. Consult manual."},
    {551, "DC/AC value out of range."},
    {552, "Volume size mismatch with respective values in parameter set."},
    {553, "Color image sequence required."},
    {554, "Decoder currently does not parse transport streams."},
    {555, "Error in packet header."},
    {556, "Unexpected startcode in system layer."},
    {557, "4:4:4 not supported for SIF format."},
    {558, "Invalid frame indices."},
    // Stream input and output.
    {600, "fopen error"},
    {601, "fread error"},
    {602, "fwrite error"},
    // Application failures.
    {609, "Enough displayed 2-D windows"},
    {610, "Cannot save the whole volume"},
    {611, "Cannot display the selected frames"},
    {612, "Enough displayed 3-D windows"},
    {613, "Allocation of palette failed"},
    {614, "Not appropriate filename"},
    {615, "Not appropriate VOI"},
    {616, "Not enough memory"},
    {617, "Error during Printing"},
    {618, "Win_uc not found \n or \n Invalid mask size"},
    {619, "Win_f not found \n or \n Invalid mask size"},
    {624, "Image is not Binary"},
    {627, "Unable to allocate space"},
    {629, "At least 3 float buffers \nare needed for this operation"},
    {630, "One of the dimensions is not a power of 2"},
    {631, "Float buffer dimensions must be \nequal to BW buffer dimensions"},
    {632, "Improper Threshold Input"},
    {633, "Error in Input"},
    {634, "Error during saving"},
    {635, "Error during initialization"},
    {636, "No filename specified"},
    {647, "Error"},
    // Further messages used as codes.
    {723, "Unable to create window"},
    {729, "This program can only be run from within the User Module"},
    {732, "Not enough buffers or invalid buffer number"},
    {733, "The images have different dimensions or color type"},
    {734, "Improper number of specified points"},
    {990, "Seeds not correctly specified"},
    {999, "Stack is empty(path not fount)"},
    {1000, "Error in TIFF"},
    {1001, "TIFF Image Sequence inconsistency"},
    {1100, "The pages of the TIFF stack differ in size, sample type or colour"},
    {1101, "Unsupported TIFF samples: 8-, 16- or 32-bit grey or RGB strips are read"},
    {1102, "Damaged TIFF page"},
    {1103, "Cannot write the file (no permission, missing folder or disk full)"},
    // Questions of the volume table.
    {3092, "Output Volume is not appropriate\nand will be reallocated. Continue?"},
    {3106, "Input volume will be modified. Continue?"},
    // Open and save dialog failures.
    {7000, "Lower frame is larger than Upper frame."},
    {7001, "Incorrectly specified volume dimensions."},
    {7002, "The specified file does not exist."},
};

constexpr Entry kShellTable[] = {
#include "core/strings_shell.inc"
};

// Each part of the table is kept sorted by id (a lookup is a binary search in each) and no id
// may stand in two parts; both are checked at compile time.
template <std::size_t N>
constexpr bool strictlySorted(const Entry (&t)[N]) {
  for (std::size_t i = 1; i < N; ++i)
    if (t[i - 1].id >= t[i].id) return false;
  return true;
}
template <std::size_t N, std::size_t M>
constexpr bool disjoint(const Entry (&a)[N], const Entry (&b)[M]) {
  for (const Entry& x : a)
    for (const Entry& y : b)
      if (x.id == y.id) return false;
  return true;
}
static_assert(strictlySorted(kTable), "string table rows must be sorted by id, without duplicates");
static_assert(strictlySorted(kShellTable), "shell text rows must be sorted by id, without duplicates");
static_assert(disjoint(kTable, kShellTable), "an id stands in two parts of the string table");

template <std::size_t N>
const Entry* findIn(const Entry (&t)[N], int id) {
  const Entry* end = std::end(t);
  const Entry* it =
      std::lower_bound(std::begin(t), end, id, [](const Entry& e, int v) { return e.id < v; });
  return (it != end && it->id == id) ? it : nullptr;
}

const Entry* find(int id) {
  const Entry* e = findIn(kTable, id);
  return e ? e : findIn(kShellTable, id);
}

}  // namespace

std::string_view text(int id) {
  const Entry* e = find(id);
  return e ? e->text : std::string_view{};
}

bool hasText(int id) { return find(id) != nullptr; }

std::size_t loadText(int id, char* buffer, std::size_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  const std::string_view t = text(id);
  const std::size_t n = std::min(t.size(), capacity - 1);
  if (n > 0) std::memcpy(buffer, t.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace v3d

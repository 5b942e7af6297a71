// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// CxImage: the in-memory bitmap that renders every page of the filter.
//
// One heap block per image holds a copy of the 76-byte bitmap header, the
// palette and the pixel rows (row 0 first, each row padded to 32 bits).
// Operations never throw; failures are false or null results.
#ifndef ZELP_IMAGE_XIMAGE_H
#define ZELP_IMAGE_XIMAGE_H

#include <cstddef>
#include <cstdint>

// The library's 'long' is 64 bits wide on every platform.
typedef int64_t ximaLong;
typedef uint64_t ximaULong;

#pragma pack(push, 1)
// BITMAPINFOHEADER order, but the 32-bit fields widened to 64 bits and packed.
struct tagBITMAPINFOHEADER64 {
    uint64_t headerSize;
    int64_t width;
    int64_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint64_t compression;
    uint64_t imageSize;
    int64_t xPelsPerMeter;
    int64_t yPelsPerMeter;
    uint64_t colorsUsed;
    uint64_t colorsImportant;
};
#pragma pack(pop)

static_assert(sizeof(tagBITMAPINFOHEADER64) == 76, "bitmap header must pack to 76 bytes");
static_assert(offsetof(tagBITMAPINFOHEADER64, width) == 8, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, height) == 16, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, planes) == 24, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, bitCount) == 26, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, compression) == 28, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, imageSize) == 36, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, xPelsPerMeter) == 44, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, yPelsPerMeter) == 52, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, colorsUsed) == 60, "header layout");
static_assert(offsetof(tagBITMAPINFOHEADER64, colorsImportant) == 68, "header layout");

// Colour value and palette entry: blue, green, red, reserved (alpha).
struct tagRGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
static_assert(sizeof(tagRGBQUAD) == 4, "palette entries are four bytes");

struct tagRECT {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};

// Attributes of an image; copied and cleared as a whole.
struct CXIMAGEINFO {
    uint64_t effWidth;        // bytes per row
    uint8_t* pixelData;       // row 0 inside the pixel block
    uint64_t imageType;       // format code, always 0 here
    char lastError[256];      // last failure reported by Create
    int64_t progress;         // percent of rows done by a long operation
    int64_t escape;           // non-zero asks a long operation to stop
    int64_t transIndex;       // transparent palette index, -1 for none
    tagRGBQUAD transColor;    // transparent colour
    uint8_t jpegQuality;
    int64_t xDpi;
    int64_t yDpi;
    tagRECT selectionBox;
    uint8_t alphaMax;
    uint8_t enabled;
    tagRGBQUAD nearestMemoColor;  // memo of the last nearest-colour lookup
    uint8_t nearestMemoIndex;
    uint8_t nearestMemoValid;
};

// Limit on bits x width x height / 256 that Create accepts.
constexpr uint64_t CXIMAGE_MAX_MEMORY = 256000000ULL;

class CxImage {
public:
    explicit CxImage(uint64_t imageType = 0);
    CxImage(uint64_t width, uint64_t height, uint64_t bpp, uint64_t imageType = 0);
    virtual ~CxImage();
    CxImage(const CxImage&) = delete;
    CxImage& operator=(const CxImage&) = delete;

    // Object and buffers (ximage.cpp)
    void* Create(uint64_t width, uint64_t height, uint64_t bpp, uint64_t imageType);
    bool Destroy();
    bool CreateFromArray(const uint8_t* array, uint64_t width, uint64_t height,
                         uint64_t bitsPerPixel, uint64_t bytesPerLine, bool flip);
    void CopyInfo(const CxImage& source);
    bool Transfer(CxImage& source);
    uint8_t* GetBits(uint64_t row = 0) const;

    // Attributes (ximainfo.cpp)
    int64_t GetWidth() const;
    int64_t GetHeight() const;
    uint64_t GetEffWidth() const;
    uint64_t GetNumColors() const;
    uint16_t GetBpp() const;
    uint64_t GetType() const;
    bool IsValid() const;
    bool IsInside(int64_t x, int64_t y) const;
    void SetXDPI(int64_t dpi);
    void SetYDPI(int64_t dpi);
    int64_t GetXDPI() const;
    int64_t GetYDPI() const;
    const char* GetLastError() const;
    int64_t GetProgress() const;
    void SetProgress(int64_t percent);
    int64_t GetEscape() const;
    void SetEscape(int64_t value);
    // A test that GetEscape also asks while escape is 0: a long operation
    // stops between rows once it says true, as it does for a set escape
    // field. For a caller that learns of a stop only while the operation
    // runs (a cancelled print job). Not part of the attributes: Transfer and
    // CopyInfo leave it where it is.
    using EscapeTest = bool (*)(void* context);
    void SetEscapeTest(EscapeTest test, void* context);
    int64_t GetTransIndex() const;
    void SetTransIndex(int64_t index);
    const tagBITMAPINFOHEADER64& GetHeader() const;
    const CXIMAGEINFO& GetInfo() const;

    // Palette and pixel access (ximapal.cpp)
    uint64_t GetPaletteSize() const;
    tagRGBQUAD* GetPalette() const;
    void SetGrayPalette();
    tagRGBQUAD GetPaletteColor(uint8_t index) const;
    void SetPaletteColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 0);
    void SetPalette(const tagRGBQUAD* entries, uint64_t count);
    uint8_t GetNearestIndex(tagRGBQUAD color);
    uint8_t GetPixelIndex(int64_t x, int64_t y) const;
    void SetPixelIndex(int64_t x, int64_t y, uint8_t index);
    tagRGBQUAD GetPixelColor(int64_t x, int64_t y, bool withAlpha = true) const;
    void SetPixelColor(int64_t x, int64_t y, tagRGBQUAD color, bool setAlpha = false);

    // Alpha plane (ximalpha.cpp)
    void AlphaCreate();
    void AlphaDelete();
    void AlphaClear();
    bool AlphaIsValid() const;
    void AlphaSet(int64_t x, int64_t y, uint8_t a);
    uint8_t AlphaGet(int64_t x, int64_t y) const;
    bool AlphaCopy(const CxImage& source);
    const uint8_t* AlphaGetPointer() const;

    // Selection mask (ximasel.cpp)
    bool SelectionCreate();  // an all-zero mask of the image's size
    bool SelectionDelete();
    bool SelectionCopy(const CxImage& source);
    bool SelectionIsValid() const;
    const uint8_t* SelectionGetPointer() const;

    // Conversions (ximatran.cpp, ximadsp.cpp)
    bool GrayScale();
    bool Rotate(float angle, CxImage* destination = nullptr);
    bool Dither(int64_t method = 0);
    bool Threshold(uint8_t level);

    // Geometry without an image, as Create, CreateFromArray and Rotate see
    // it: the depth an image stores for a requested one; whether
    // CreateFromArray takes arrays of that depth; whether Create accepts
    // the size (not zero, within the memory limit); bytes per row and of all
    // rows (UINT64_MAX when that does not fit 64 bits); Rotate's result size.
    static uint16_t StoredDepth(uint64_t bpp);
    static bool IsArrayDepth(uint64_t bpp);
    static bool SizeAllowed(uint64_t width, uint64_t height, uint64_t bpp);
    static uint64_t RowBytes(uint64_t width, uint64_t bpp);
    static uint64_t ImageBytes(uint64_t width, uint64_t height, uint64_t bpp);
    static void RotatedSize(float angle, uint64_t width, uint64_t height, uint64_t* newWidth,
                            uint64_t* newHeight);

protected:
    void Startup(uint64_t imageType);

private:
    uint8_t* pixelBlock;
    tagBITMAPINFOHEADER64 bitmapHeader;
    CXIMAGEINFO imageInfo;
    uint8_t* selectionMask;
    uint8_t* alphaPlane;
    EscapeTest escapeTest = nullptr;
    void* escapeContext = nullptr;
};

#endif

#pragma once
// The PNG row filters: the five filter types of the PNG standard and the
// adaptive minimum-sum choice, on single rows and on whole images.
//
// A row is given as its data bytes (without the leading filter-type byte). The
// source row and the row above are always unfiltered (packed) data; the row
// above is null for the first row, which then behaves as if it were all zeros.
// Every function is pure: it writes only its destination, so rows may be
// filtered independently and from several threads at once.

#include <cstdint>

#include "engine/png_optimizer.h"

// Bytes between a byte and its "left" neighbour: (bitDepth + 7) / 8, so 1 for
// 1-, 2-, 4- and 8-bit rows (the previous byte, not the previous pixel).
uint32_t filterBytesPerPixel(int32_t bitDepth);

// The Paeth predictor: a when |b - c| is not above |a - c| nor |a + b - 2c|,
// else b when |a - c| is not above |a + b - 2c|, else c.
uint8_t paethPredictor(uint8_t a, uint8_t b, uint8_t c);

// Sum of the row bytes read as signed magnitudes: v for v < 128, 256 - v otherwise.
uint64_t filteredRowSum(const uint8_t* row, uint32_t rowBytes);

// A row operation: filters rowBytes bytes of source (with above, or null for the
// first row) into destination and returns the filter-type byte to store in
// front of the row. destination must not overlap source or above.
using RowFilterOp = uint8_t (*)(uint8_t* destination, const uint8_t* source,
                                const uint8_t* above, uint32_t rowBytes, uint32_t bytesPerPixel);

uint8_t filterRowNone(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                      uint32_t rowBytes, uint32_t bytesPerPixel);
uint8_t filterRowSub(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                     uint32_t rowBytes, uint32_t bytesPerPixel);
uint8_t filterRowUp(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                    uint32_t rowBytes, uint32_t bytesPerPixel);
uint8_t filterRowAverage(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                         uint32_t rowBytes, uint32_t bytesPerPixel);
uint8_t filterRowPaeth(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                       uint32_t rowBytes, uint32_t bytesPerPixel);
// Tries types 0 to 4, keeps the first with the smallest filteredRowSum (a sum
// must be below 2147483647 to beat type 0), refilters with it and returns it.
uint8_t filterRowMinSum(uint8_t* destination, const uint8_t* source, const uint8_t* above,
                        uint32_t rowBytes, uint32_t bytesPerPixel);

// The row operation of a filter choice; a choice outside 0 to 5 is taken as 0.
RowFilterOp rowFilterFor(int32_t choice);

// Filters one row of an image held as rows of stride bytes: row r of packedRows
// (its data after the type byte, the row above being row r - 1) into row r of
// filteredRows, type byte included.
void filterImageRow(const uint8_t* packedRows, uint8_t* filteredRows, uint32_t stride,
                    uint32_t row, int32_t choice, uint32_t bytesPerPixel);

// Filters rowCount rows of stride bytes, starting at row firstRow of
// packedRows (the row above firstRow, if any, is read from packedRows too),
// into destination, which receives just those rows, type bytes included.
void filterRows(const uint8_t* packedRows, uint32_t stride, uint32_t firstRow, uint32_t rowCount,
                int32_t choice, uint32_t bytesPerPixel, uint8_t* destination);

// Filters every one of height rows of stride bytes from packedRows into
// filteredRows with filter choice (above 5 taken as 0) at bitDepth.
void applyFilter(const uint8_t* packedRows, uint8_t* filteredRows, uint32_t height,
                 uint32_t stride, int32_t choice, int32_t bitDepth);

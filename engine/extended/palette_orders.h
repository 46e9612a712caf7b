#pragma once
// Palette orders that place colours which touch in the picture at nearby
// indices, so that the row filters' differences of neighbouring indices stay
// small. All work on how often the picture's colours stand side by side
// (ColourPairs): the chains on the contacts of distinct colours, the
// refinement on the differences of the indices of horizontal and vertical
// neighbours.
//
// Every order is a permutation of the colour indices 0 to n - 1 (entries of
// ColourFacts::colours), palette entry first. Pure functions of their
// arguments, integer arithmetic only, so the orders are the same on every
// machine; safe on several threads at once.

#include <cstddef>
#include <cstdint>
#include <vector>

// How often the n colours of a picture stand side by side, each n x n and
// row-major: `horizontal` counts a pixel of the first colour with one of the
// second to its right, `vertical` below it (pairs of one colour included);
// `contacts` is symmetric, both of those for two distinct colours in either
// order (the diagonal 0).
struct ColourPairs {
    uint32_t n = 0;
    std::vector<uint32_t> horizontal;
    std::vector<uint32_t> vertical;
    std::vector<uint64_t> contacts;
    uint64_t at(uint32_t a, uint32_t b) const { return contacts[size_t(a) * n + b]; }
};

// The pairs of a picture of `colours` colours (at most 256) whose pixels'
// colour indices (top row first, width a row) are `indices`. False when the
// sizes disagree or memory is short.
bool colourPairs(const std::vector<uint8_t>& indices, uint32_t width, uint32_t height, uint32_t colours,
                 ColourPairs& pairs);

// The weight of two entries `distance` indices apart in the chain orders'
// scores: 2^16 log2(1 + 1/distance), rounded down (65536 at distance 1).
uint32_t contactWeight(uint32_t distance);

// A chain grown from the pair that touches most: each step adds, at either
// end, the colour that touches that end most often.
std::vector<uint32_t> neighbourChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts);

// A chain grown from the pair that touches most: each step adds, at the end
// where it scores most, the colour whose contacts with the chain, weighted by
// their distance from that end (contactWeight), are highest.
std::vector<uint32_t> weightedChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts);

// The same chain, each step adding the colour with the most contacts with the
// whole chain (unweighted), at the end where its weighted contacts are higher.
std::vector<uint32_t> mostConnectedChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts);

// Pairwise merging: every colour starts as a chain of its own; the two
// chains with the most contacts between them are joined, end to end in the
// one of the four ways that scores most (contacts weighted by the distance
// they end up apart), until one chain is left.
std::vector<uint32_t> mergedChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts);

// How predictable an order (colour indices, entry first) makes the index
// differences of horizontal and vertical neighbours of distinct colours
// (what the row filters SUB and UP store): the sum of x log2 x over the counts
// x of their two histograms, with 16 fraction bits. Higher is better: for the
// same pairs, a higher sum is a lower order-0 entropy.
uint64_t residualScore(const ColourPairs& pairs, const std::vector<uint32_t>& order);

// Improves `order` by swapping entries while a swap raises residualScore to
// first order (each moved pair gains log2 of the ratio of the counts of its
// new and old difference), at most `sweeps` passes over every pair of
// entries at most `reach` apart. Fixed point throughout, so every machine
// makes the same swaps.
void refineByResiduals(const ColourPairs& pairs, int32_t sweeps, uint32_t reach, std::vector<uint32_t>& order);

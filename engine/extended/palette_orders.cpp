#include "engine/extended/palette_orders.h"

#include <algorithm>
#include <new>

#include "engine/extended/fixed_log2.h"

namespace {

// The histograms of the index differences of horizontal (0) and vertical (1)
// neighbours of distinct colours in an order (index: colour -> entry).
void residualHistograms(const ColourPairs& pairs, const std::vector<uint8_t>& index, int64_t (&histogram)[2][256])
{
    const uint32_t n = pairs.n;
    for (uint32_t a = 0; a < n; ++a)
        for (uint32_t b = 0; b < n; ++b) {
            if (a == b)
                continue;
            const uint8_t difference = static_cast<uint8_t>(index[b] - index[a]);
            histogram[0][difference] += pairs.horizontal[size_t(a) * n + b];
            histogram[1][difference] += pairs.vertical[size_t(a) * n + b];
        }
}

// The colour with the most pixels among those not placed (the lowest index among equals).
uint32_t mostFrequentLeft(const std::vector<uint32_t>& counts, const std::vector<bool>& placed)
{
    uint32_t best = static_cast<uint32_t>(counts.size());
    for (uint32_t k = 0; k < counts.size(); ++k)
        if (!placed[k] && (best == counts.size() || counts[k] > counts[best]))
            best = k;
    return best;
}

// contactWeight for every distance up to n.
std::vector<uint64_t> weightTable(uint32_t n)
{
    std::vector<uint64_t> weights(size_t(n) + 1, 0);
    for (uint32_t d = 1; d <= n; ++d)
        weights[d] = contactWeight(d);
    return weights;
}

// The weighted contacts of colour u with the first `reach` entries of the
// chain counted from one end: forward from the front, else back from the back.
uint64_t endScore(const ColourPairs& pairs, const std::vector<uint64_t>& weights,
                  const std::vector<uint32_t>& chain, uint32_t u, size_t reach, bool front)
{
    const size_t m = std::min(reach, chain.size());
    uint64_t score = 0;
    for (size_t k = 0; k < m; ++k)
        score += weights[k + 1] * pairs.at(u, chain[front ? k : chain.size() - 1 - k]);
    return score;
}

// The chain grown from the pair that touches most (the first colour alone
// when none touch). `reach` entries from each end are weighted; with
// byTotal, each step takes the colour with the most contacts with the whole
// chain and weighs only the side, else the (colour, end) of the highest
// weighted score, the back end first and the lower index among equals. A
// colour with no score goes to the back: the most frequent left.
std::vector<uint32_t> growChain(const ColourPairs& pairs, const std::vector<uint32_t>& counts, size_t reach,
                                bool byTotal)
{
    const uint32_t n = pairs.n;
    std::vector<uint32_t> chain;
    if (n == 0)
        return chain;
    const std::vector<uint64_t> weights = weightTable(n);
    std::vector<bool> placed(n, false);
    uint32_t first = 0, second = 0;
    uint64_t heaviest = 0;
    for (uint32_t i = 0; i < n; ++i)
        for (uint32_t j = i + 1; j < n; ++j)
            if (pairs.at(i, j) > heaviest) {
                heaviest = pairs.at(i, j);
                first = i;
                second = j;
            }
    std::vector<uint64_t> total(n, 0);   // contacts with the chain, for byTotal
    const auto place = [&](uint32_t u, bool front) {
        placed[u] = true;
        chain.insert(front ? chain.begin() : chain.end(), u);
        for (uint32_t k = 0; k < n; ++k)
            total[k] += pairs.at(k, u);
    };
    place(first, false);
    if (heaviest > 0)
        place(second, false);
    while (chain.size() < n) {
        uint32_t best = n;
        uint64_t bestScore = 0;
        bool atFront = false;
        if (byTotal) {
            for (uint32_t k = 0; k < n; ++k)
                if (!placed[k] && total[k] > bestScore) {
                    bestScore = total[k];
                    best = k;
                }
            if (best != n)
                atFront = endScore(pairs, weights, chain, best, reach, true) >
                          endScore(pairs, weights, chain, best, reach, false);
        } else {
            for (uint32_t k = 0; k < n; ++k) {
                if (placed[k])
                    continue;
                const uint64_t back = endScore(pairs, weights, chain, k, reach, false);
                const uint64_t front = endScore(pairs, weights, chain, k, reach, true);
                if (back > bestScore) {
                    bestScore = back;
                    best = k;
                    atFront = false;
                }
                if (front > bestScore) {
                    bestScore = front;
                    best = k;
                    atFront = true;
                }
            }
        }
        if (best == n) {
            best = mostFrequentLeft(counts, placed);
            atFront = false;
        }
        place(best, atFront);
    }
    return chain;
}

// The score of chains a and b joined as a then b: their contacts weighted by
// the distance they end up apart.
uint64_t joinScore(const ColourPairs& pairs, const std::vector<uint64_t>& weights,
                   const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    uint64_t score = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j)
            score += weights[a.size() - i + j] * pairs.at(a[i], b[j]);
    return score;
}

}   // namespace

bool colourPairs(const std::vector<uint8_t>& indices, uint32_t width, uint32_t height, uint32_t colours,
                 ColourPairs& pairs)
{
    if (colours > 256 || indices.size() != size_t(width) * height)
        return false;
    const size_t n = colours;
    try {
        pairs.n = colours;
        pairs.horizontal.assign(n * n, 0);
        pairs.vertical.assign(n * n, 0);
        pairs.contacts.assign(n * n, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &indices[size_t(y) * width];
        for (uint32_t x = 0; x + 1 < width; ++x)
            ++pairs.horizontal[row[x] * n + row[x + 1]];
        if (y + 1 < height)
            for (uint32_t x = 0; x < width; ++x)
                ++pairs.vertical[row[x] * n + row[x + width]];
    }
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b)
            if (a != b)
                pairs.contacts[a * n + b] = uint64_t(pairs.horizontal[a * n + b]) + pairs.horizontal[b * n + a] +
                                            pairs.vertical[a * n + b] + pairs.vertical[b * n + a];
    return true;
}

uint32_t contactWeight(uint32_t distance)
{
    const uint64_t z = ((uint64_t(distance) + 1) << 30) / distance;   // 1 + 1/distance in (1, 2]
    return z >= uint64_t(1) << 31 ? 1u << 16 : fractionLog2(z);
}

std::vector<uint32_t> weightedChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts)
{
    return growChain(pairs, counts, pairs.n, false);
}

std::vector<uint32_t> mostConnectedChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts)
{
    return growChain(pairs, counts, pairs.n, true);
}

std::vector<uint32_t> neighbourChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts)
{
    return growChain(pairs, counts, 1, false);
}

std::vector<uint32_t> mergedChainOrder(const ColourPairs& pairs, const std::vector<uint32_t>& counts)
{
    const uint32_t n = pairs.n;
    const std::vector<uint64_t> weights = weightTable(n);
    std::vector<std::vector<uint32_t>> chains(n);
    std::vector<uint64_t> between(pairs.contacts);   // contacts between chains i and j
    std::vector<bool> alive(n, true);
    for (uint32_t i = 0; i < n; ++i)
        chains[i].push_back(i);
    for (uint32_t merges = 1; merges < n; ++merges) {
        uint32_t a = n, b = n;
        uint64_t most = 0;
        for (uint32_t i = 0; i < n; ++i)
            for (uint32_t j = i + 1; alive[i] && j < n; ++j)
                if (alive[j] && between[size_t(i) * n + j] > most) {
                    most = between[size_t(i) * n + j];
                    a = i;
                    b = j;
                }
        if (most == 0)
            break;
        // The four ways to join: b after a, after a reversed, and a reversed
        // or not after b reversed (b's back meets a's front).
        std::vector<uint32_t> forward = chains[a], backward(chains[a].rbegin(), chains[a].rend());
        std::vector<uint32_t> other = chains[b], otherBackward(chains[b].rbegin(), chains[b].rend());
        const std::vector<uint32_t>* joins[4][2] = {
            {&forward, &other}, {&forward, &otherBackward}, {&backward, &other}, {&backward, &otherBackward}};
        size_t chosen = 0;
        uint64_t bestScore = 0;
        for (size_t k = 0; k < 4; ++k) {
            const uint64_t score = joinScore(pairs, weights, *joins[k][0], *joins[k][1]);
            if (k == 0 || score > bestScore) {
                bestScore = score;
                chosen = k;
            }
        }
        std::vector<uint32_t> joined = *joins[chosen][0];
        joined.insert(joined.end(), joins[chosen][1]->begin(), joins[chosen][1]->end());
        chains[a] = std::move(joined);
        chains[b].clear();
        alive[b] = false;
        for (uint32_t k = 0; k < n; ++k) {
            between[size_t(a) * n + k] += between[size_t(b) * n + k];
            between[size_t(k) * n + a] = between[size_t(a) * n + k];
        }
        between[size_t(a) * n + a] = 0;
    }
    // Chains that touch no other follow one another, those of more pixels first.
    std::vector<uint64_t> pixels(n, 0);
    std::vector<uint32_t> left;
    for (uint32_t i = 0; i < n; ++i) {
        if (!alive[i])
            continue;
        left.push_back(i);
        for (uint32_t colour : chains[i])
            pixels[i] += counts[colour];
    }
    std::stable_sort(left.begin(), left.end(), [&](uint32_t x, uint32_t y) { return pixels[x] > pixels[y]; });
    std::vector<uint32_t> order;
    for (uint32_t i : left)
        order.insert(order.end(), chains[i].begin(), chains[i].end());
    return order;
}

namespace {

// A colour's neighbour of one kind and how often it stands there.
struct Neighbour {
    uint32_t colour;
    uint32_t count;
};

}   // namespace

void refineByResiduals(const ColourPairs& pairs, int32_t sweeps, uint32_t reach, std::vector<uint32_t>& order)
{
    const uint32_t n = pairs.n;
    if (order.size() != n || n < 3)
        return;
    // Each colour's neighbours to its right, left, below and above (kinds 0
    // to 3), colour c's in [kindStarts[kind][c], kindStarts[kind][c + 1]).
    std::vector<Neighbour> neighbours[4];
    std::vector<uint32_t> kindStarts[4];
    for (int kind = 0; kind < 4; ++kind) {
        const std::vector<uint32_t>& counts = kind < 2 ? pairs.horizontal : pairs.vertical;
        kindStarts[kind].assign(size_t(n) + 1, 0);
        for (uint32_t c = 0; c < n; ++c) {
            kindStarts[kind][c] = static_cast<uint32_t>(neighbours[kind].size());
            for (uint32_t other = 0; other < n; ++other) {
                const uint32_t count = kind % 2 == 0 ? counts[size_t(c) * n + other] : counts[size_t(other) * n + c];
                if (other != c && count > 0)
                    neighbours[kind].push_back({other, count});
            }
        }
        kindStarts[kind][n] = static_cast<uint32_t>(neighbours[kind].size());
    }
    std::vector<uint8_t> index(n);   // colour -> entry
    for (uint32_t i = 0; i < n; ++i)
        index[order[i]] = static_cast<uint8_t>(i);
    // The histograms of the differences across (0) and down (1), and log2 of each count.
    int64_t histogram[2][256] = {};
    int64_t logCount[2][256] = {};
    residualHistograms(pairs, index, histogram);
    const auto refreshLogs = [&] {
        for (int axis = 0; axis < 2; ++axis)
            for (int r = 0; r < 256; ++r)
                logCount[axis][r] = fixedLog2(static_cast<uint32_t>(histogram[axis][r]));
    };
    refreshLogs();
    // Calls f(axis, from, to, count) for every pair of colour c with a colour
    // other than `partner` as c moves from entry `from` to `to`.
    const auto forEachMove = [&](uint32_t c, uint32_t partner, uint8_t from, uint8_t to, auto&& f) {
        for (int kind = 0; kind < 4; ++kind) {
            const int axis = kind / 2;
            const bool after = kind % 2 == 0;   // the neighbour right of or below c
            for (uint32_t k = kindStarts[kind][c]; k < kindStarts[kind][c + 1]; ++k) {
                const Neighbour& b = neighbours[kind][k];
                if (b.colour == partner)
                    continue;
                const uint8_t at = index[b.colour];
                if (after)
                    f(axis, static_cast<uint8_t>(at - from), static_cast<uint8_t>(at - to), b.count);
                else
                    f(axis, static_cast<uint8_t>(from - at), static_cast<uint8_t>(to - at), b.count);
            }
        }
    };
    for (int32_t sweep = 0; sweep < sweeps; ++sweep) {
        bool swapped = false;
        for (uint32_t i = 0; i < n; ++i)
            for (uint32_t j = i + 1; j < n && j - i <= reach; ++j) {
                const uint32_t u = order[i], v = order[j];
                const uint8_t ui = static_cast<uint8_t>(i), vi = static_cast<uint8_t>(j);
                // The entropy's change to first order: each pair moved from a
                // difference to another gains log2 of the counts' ratio.
                int64_t gain = 0;
                const auto weigh = [&](int axis, uint8_t from, uint8_t to, uint32_t count) {
                    gain += int64_t(count) * (logCount[axis][to] - logCount[axis][from]);
                };
                forEachMove(u, v, ui, vi, weigh);
                forEachMove(v, u, vi, ui, weigh);
                // The pair of u and v: each difference turns into its negation.
                const uint8_t forward = static_cast<uint8_t>(vi - ui), backward = static_cast<uint8_t>(ui - vi);
                const uint32_t uvAcross = pairs.horizontal[size_t(u) * n + v];
                const uint32_t vuAcross = pairs.horizontal[size_t(v) * n + u];
                const uint32_t uvDown = pairs.vertical[size_t(u) * n + v];
                const uint32_t vuDown = pairs.vertical[size_t(v) * n + u];
                weigh(0, forward, backward, uvAcross);
                weigh(0, backward, forward, vuAcross);
                weigh(1, forward, backward, uvDown);
                weigh(1, backward, forward, vuDown);
                if (gain <= 0)
                    continue;
                const auto apply = [&](int axis, uint8_t from, uint8_t to, uint32_t count) {
                    histogram[axis][from] -= count;
                    histogram[axis][to] += count;
                };
                forEachMove(u, v, ui, vi, apply);
                forEachMove(v, u, vi, ui, apply);
                apply(0, forward, backward, uvAcross);
                apply(0, backward, forward, vuAcross);
                apply(1, forward, backward, uvDown);
                apply(1, backward, forward, vuDown);
                refreshLogs();
                std::swap(order[i], order[j]);
                index[u] = vi;
                index[v] = ui;
                swapped = true;
            }
        if (!swapped)
            break;
    }
}

uint64_t residualScore(const ColourPairs& pairs, const std::vector<uint32_t>& order)
{
    if (order.size() != pairs.n)
        return 0;
    std::vector<uint8_t> index(pairs.n);
    for (uint32_t i = 0; i < pairs.n; ++i)
        index[order[i]] = static_cast<uint8_t>(i);
    int64_t histogram[2][256] = {};
    residualHistograms(pairs, index, histogram);
    uint64_t score = 0;
    for (const auto& axis : histogram) {
        uint32_t counts[256];
        for (int r = 0; r < 256; ++r)
            counts[r] = static_cast<uint32_t>(axis[r]);
        score += countLog2Sum(counts, 256);
    }
    return score;
}

#include "voice/equalizer_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "editor/response_curve.h"
#include "voice/band_curve_table.h"

namespace tqm {

namespace {

constexpr int kSeedBwth = 3;
constexpr int kMaxSweeps = 12;
constexpr std::size_t kRefinedCombinations = 16;
constexpr double kImprovement = 1e-9;

// The sample frequencies the fit compares at, and their weights.
struct FitPoints {
    std::vector<std::size_t> index;  // into GRAPH_SAMPLE_FREQS
    std::vector<double> hz;
    std::vector<double> weight;
    double totalWeight = 0.0;
};

const FitPoints& fitPoints() {
    static const FitPoints points = [] {
        FitPoints p;
        for (std::size_t i = 0; i < GRAPH_SAMPLE_FREQS.size(); ++i) {
            const double f = GRAPH_SAMPLE_FREQS[i];
            if (f >= kFitLowHz && f <= kFitHighHz) {
                p.index.push_back(i);
                p.hz.push_back(f);
                p.weight.push_back(f >= kFitMainHz ? 1.0 : kFitLowWeight);
                p.totalWeight += p.weight.back();
            }
        }
        return p;
    }();
    return points;
}

// Built once for the process: every curve of every band on the fit's frequencies.
const std::array<BandCurveTable, kEqualizerBands>& bandTables() {
    static const std::array<BandCurveTable, kEqualizerBands> tables = {
        BandCurveTable(0, fitPoints().hz, fitPoints().weight), BandCurveTable(1, fitPoints().hz, fitPoints().weight),
        BandCurveTable(2, fitPoints().hz, fitPoints().weight)};
    return tables;
}

struct BandChoice {
    int freq = 0;  // 0: OFF
    int level = 0;
    int bwth = kSeedBwth;
};
using Choice = std::array<BandChoice, kEqualizerBands>;

struct Scored {
    double error = std::numeric_limits<double>::infinity();
    Choice choice{};
};

// The weighted squared error of an error vector with its weighted mean taken out.
double shapeError(std::span<const double> e) {
    const FitPoints& p = fitPoints();
    double squares = 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < e.size(); ++i) {
        squares += p.weight[i] * e[i] * e[i];
        sum += p.weight[i] * e[i];
    }
    return squares - sum * sum / p.totalWeight;
}

// Coordinate search from a seed over the levels and bandwidths of the bands that are
// on, with their frequencies fixed. Each step picks, for one band, the best curve
// with the other bands held: the best level and then the best bandwidth, or (joint)
// the best of all level and bandwidth pairs.
class CoordinateSearch final {
public:
    explicit CoordinateSearch(std::span<const double> difference) : m_difference(difference.begin(), difference.end()) {}

    double descend(Choice& choice, bool joint);

private:
    bool improveBand(Choice& choice, int band, bool joint);
    double candidateError(int band, const BandChoice& c) const;

    std::vector<double> m_difference;  // voice - target
    std::vector<double> m_error;       // voice + bands - target
    std::vector<double> m_weightedRest;
    double m_restSquares = 0.0;
    double m_restSum = 0.0;
};

double CoordinateSearch::candidateError(int band, const BandChoice& c) const {
    const BandCurveTable& table = bandTables()[static_cast<std::size_t>(band)];
    const auto curve = table.curve(c.freq, c.level, c.bwth);
    double cross = 0.0;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        cross += m_weightedRest[i] * curve[i];
    }
    const double sum = m_restSum + table.weightedSum(c.freq, c.level, c.bwth);
    return m_restSquares + 2.0 * cross + table.weightedSquares(c.freq, c.level, c.bwth) -
           sum * sum / fitPoints().totalWeight;
}

bool CoordinateSearch::improveBand(Choice& choice, int band, bool joint) {
    BandChoice& current = choice[static_cast<std::size_t>(band)];
    const BandCurveTable& table = bandTables()[static_cast<std::size_t>(band)];
    const auto old = table.curve(current.freq, current.level, current.bwth);
    const auto& weight = fitPoints().weight;
    m_weightedRest.resize(m_error.size());
    m_restSquares = 0.0;
    m_restSum = 0.0;
    for (std::size_t i = 0; i < m_error.size(); ++i) {
        const double rest = m_error[i] - old[i];
        m_weightedRest[i] = weight[i] * rest;
        m_restSquares += m_weightedRest[i] * rest;
        m_restSum += m_weightedRest[i];
    }
    BandChoice best = current;
    double bestError = candidateError(band, current);
    const auto consider = [&](const BandChoice& c) {
        const double e = candidateError(band, c);
        if (e < bestError - kImprovement) {
            bestError = e;
            best = c;
        }
    };
    for (int level = kLevelMin; level <= kLevelMax; ++level) {
        for (int bwth = joint ? kBwthMin : current.bwth; bwth <= (joint ? kBwthMax : current.bwth); ++bwth) {
            consider({current.freq, level, bwth});
        }
    }
    for (int bwth = kBwthMin; bwth <= kBwthMax && !joint; ++bwth) {
        consider({current.freq, best.level, bwth});
    }
    if (best.level == current.level && best.bwth == current.bwth) {
        return false;
    }
    const auto fresh = table.curve(best.freq, best.level, best.bwth);
    for (std::size_t i = 0; i < m_error.size(); ++i) {
        m_error[i] += fresh[i] - old[i];
    }
    current = best;
    return true;
}

double CoordinateSearch::descend(Choice& choice, bool joint) {
    m_error = m_difference;
    for (int band = 0; band < kEqualizerBands; ++band) {
        const BandChoice& c = choice[static_cast<std::size_t>(band)];
        if (c.freq != 0) {
            const auto curve = bandTables()[static_cast<std::size_t>(band)].curve(c.freq, c.level, c.bwth);
            std::transform(m_error.begin(), m_error.end(), curve.begin(), m_error.begin(), std::plus<>());
        }
    }
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool changed = false;
        for (int band = 0; band < kEqualizerBands; ++band) {
            if (choice[static_cast<std::size_t>(band)].freq != 0) {
                changed = improveBand(choice, band, joint) || changed;
            }
        }
        if (!changed) {
            break;
        }
    }
    return shapeError(m_error);
}

Choice choiceOf(const EqualizerValues& values) {
    Choice choice{};
    for (int band = 0; band < kEqualizerBands; ++band) {
        BandChoice& c = choice[static_cast<std::size_t>(band)];
        const auto entries = static_cast<std::int32_t>(kFreqTables[static_cast<std::size_t>(band)].size());
        const std::int32_t freq = values.get(band, PeqParam::Freq);
        c.freq = freq > 0 && freq < entries ? freq : 0;
        c.level = std::clamp(values.get(band, PeqParam::Level), kLevelMin, kLevelMax);
        c.bwth = std::clamp(values.get(band, PeqParam::Bwth), kBwthMin, kBwthMax);
    }
    return choice;
}

EqualizerValues valuesOf(const Choice& choice, EqualizerValues values) {
    for (int band = 0; band < kEqualizerBands; ++band) {
        const BandChoice& c = choice[static_cast<std::size_t>(band)];
        values[paramIndex(band, PeqParam::Freq)] = c.freq;
        if (c.freq != 0) {
            values[paramIndex(band, PeqParam::Level)] = c.level;
            values[paramIndex(band, PeqParam::Bwth)] = c.bwth;
        }
    }
    return values;
}

// Every combination of frequencies, each from a neutral seed; the best few.
std::vector<Scored> searchCombinations(CoordinateSearch& search) {
    std::vector<Scored> scored;
    const auto& tables = bandTables();
    scored.reserve(static_cast<std::size_t>((tables[0].entries() + 1) * (tables[1].entries() + 1) *
                                            (tables[2].entries() + 1)));
    for (int f1 = 0; f1 <= tables[0].entries(); ++f1) {
        for (int f2 = 0; f2 <= tables[1].entries(); ++f2) {
            for (int f3 = 0; f3 <= tables[2].entries(); ++f3) {
                Scored s;
                s.choice = {BandChoice{f1}, BandChoice{f2}, BandChoice{f3}};
                s.error = search.descend(s.choice, false);
                scored.push_back(s);
            }
        }
    }
    const auto kept = std::min(kRefinedCombinations, scored.size());
    std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(kept), scored.end(),
                      [](const Scored& a, const Scored& b) { return a.error < b.error; });
    scored.resize(kept);
    return scored;
}

}  // namespace

double fitResidual(const VoiceSpectrum& voice, const TargetCurve& target, const EqualizerValues& values) {
    const FitPoints& p = fitPoints();
    std::vector<double> e(p.hz.size());
    for (std::size_t i = 0; i < e.size(); ++i) {
        e[i] = voice[p.index[i]] + sumResponse(values, p.hz[i]) - target.at(p.hz[i]);
    }
    return std::sqrt(std::max(shapeError(e), 0.0) / p.totalWeight);
}

FitProposal fitEqualizer(const VoiceSpectrum& voice, const TargetCurve& target, const EqualizerValues& current) {
    const FitPoints& p = fitPoints();
    std::vector<double> difference(p.hz.size());
    for (std::size_t i = 0; i < difference.size(); ++i) {
        difference[i] = voice[p.index[i]] - target.at(p.hz[i]);
    }
    CoordinateSearch search(difference);
    std::vector<Scored> candidates = searchCombinations(search);
    candidates.push_back({0.0, choiceOf(current)});
    Scored best;
    for (Scored& s : candidates) {
        s.error = search.descend(s.choice, true);
        if (s.error < best.error) {
            best = s;
        }
    }
    FitProposal proposal;
    proposal.values = valuesOf(best.choice, current);
    proposal.rmsBefore = fitResidual(voice, target, current);
    proposal.rmsAfter = fitResidual(voice, target, proposal.values);
    return proposal;
}

}  // namespace tqm

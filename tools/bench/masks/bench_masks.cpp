// Texts per second for the picture validator on typical masks, next to the
// same acceptance test written as QRegularExpression and std::regex, all on
// one batch of texts. The regular expressions only accept or refuse; the
// validator also tells incomplete from wrong, converts case and fills
// literals, so it is expected to cost somewhat more per text.
#include "controls/base/Qxpict.h"

#include <benchmark/benchmark.h>

#include <QRegularExpression>
#include <QString>

#include <random>
#include <regex>
#include <string>
#include <vector>

namespace
{

struct Mask {
    const char *name;
    const char *picture;
    const char *qtPattern; // whole-text match
    const char *stdPattern; // std::regex ECMAScript, on bytes
    std::string (*make)(std::mt19937 &);
};

std::string Digits(std::mt19937 &g, int n)
{
    std::string s;
    for (int k = 0; k < n; ++k)
        s += static_cast<char>('0' + g() % 10);
    return s;
}

std::string Letters(std::mt19937 &g, int n)
{
    static const char *const pool[] = { "a", "b", "Z", "ñ", "é", "q", "M" };
    std::string s;
    for (int k = 0; k < n; ++k)
        s += pool[g() % 7];
    return s;
}

const Mask kMasks[] = {
    { "phone", "(###) ###-####", R"(\(\d{3}\) \d{3}-\d{4})", R"(\(\d{3}\) \d{3}-\d{4})",
        [](std::mt19937 &g) { return "(" + Digits(g, 3) + ") " + Digits(g, 3) + "-" + Digits(g, 4); } },
    { "postcode", "#####[-####]", R"(\d{5}(-\d{4})?)", R"(\d{5}(-\d{4})?)",
        [](std::mt19937 &g) { return Digits(g, 5) + (g() % 2 ? "-" + Digits(g, 4) : std::string()); } },
    { "date", "{##,#}/{##,#}/{####,##}", R"((\d\d|\d)/(\d\d|\d)/(\d{4}|\d\d))",
        R"((\d\d|\d)/(\d\d|\d)/(\d{4}|\d\d))",
        [](std::mt19937 &g) {
            return Digits(g, 1 + g() % 2) + "/" + Digits(g, 1 + g() % 2) + "/" + Digits(g, 4);
        } },
    { "code", "&&-###", R"([A-Za-z\x{80}-\x{10FFFF}]{2}-\d{3})", R"(([A-Za-z]|[\x80-\xff]+){2}-\d{3})",
        [](std::mt19937 &g) { return Letters(g, 2) + "-" + Digits(g, 3); } },
    { "name", "&*?", R"([A-Za-z\x{80}-\x{10FFFF}]+)", R"(([A-Za-z]|[\x80-\xff])+)",
        [](std::mt19937 &g) { return Letters(g, 3 + g() % 10); } },
    { "yes_no", "{Yes,No}", R"((?i)yes|no)", R"([Yy][Ee][Ss]|[Nn][Oo])",
        [](std::mt19937 &g) { return std::string(g() % 2 ? "yes" : "No"); } },
};

constexpr int kBatch = 10000;

// A batch for one mask: mostly fitting texts, some cut short, some with a
// character changed.
std::vector<std::string> Batch(const Mask &mask)
{
    std::mt19937 g(7);
    std::vector<std::string> texts;
    for (int k = 0; k < kBatch; ++k) {
        std::string s = mask.make(g);
        switch (g() % 4) {
        case 0:
            s.resize(g() % (s.size() + 1));
            break;
        case 1:
            s[g() % s.size()] = 'x';
            break;
        default:
            break;
        }
        texts.push_back(s);
    }
    return texts;
}

void ValidatorPerCheck(benchmark::State &state)
{
    const Mask &mask = kMasks[state.range(0)];
    const auto texts = Batch(mask);
    for (auto _ : state) {
        for (const auto &t : texts) {
            TqxPictureValidator validator(mask.picture, true);
            std::string text = t;
            benchmark::DoNotOptimize(validator.MatchPicture(text, true));
        }
    }
    state.SetLabel(mask.name);
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void ValidatorReused(benchmark::State &state)
{
    const Mask &mask = kMasks[state.range(0)];
    const auto texts = Batch(mask);
    TqxPictureValidator validator(mask.picture, true);
    for (auto _ : state) {
        for (const auto &t : texts) {
            std::string text = t;
            benchmark::DoNotOptimize(validator.MatchPicture(text, true));
        }
    }
    state.SetLabel(mask.name);
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void QtRegularExpression(benchmark::State &state)
{
    const Mask &mask = kMasks[state.range(0)];
    const auto texts = Batch(mask);
    const QRegularExpression re(QRegularExpression::anchoredPattern(QString::fromUtf8(mask.qtPattern)));
    re.optimize();
    for (auto _ : state) {
        for (const auto &t : texts)
            benchmark::DoNotOptimize(
                re.match(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()))).hasMatch());
    }
    state.SetLabel(mask.name);
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void StdRegex(benchmark::State &state)
{
    const Mask &mask = kMasks[state.range(0)];
    const auto texts = Batch(mask);
    const std::regex re(mask.stdPattern);
    for (auto _ : state) {
        for (const auto &t : texts)
            benchmark::DoNotOptimize(std::regex_match(t, re));
    }
    state.SetLabel(mask.name);
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void AllMasks(benchmark::internal::Benchmark *b)
{
    for (int k = 0; k < static_cast<int>(std::size(kMasks)); ++k)
        b->Arg(k);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(ValidatorPerCheck)->Apply(AllMasks);
BENCHMARK(ValidatorReused)->Apply(AllMasks);
BENCHMARK(QtRegularExpression)->Apply(AllMasks);
BENCHMARK(StdRegex)->Apply(AllMasks);

} // namespace

BENCHMARK_MAIN();

// ConvertCase on the longest text an underlined entity may hold, in every mode, next to a plain
// copy of the same text; the counter per_unit is the time per UTF-16 code unit (ns).
#include <benchmark/benchmark.h>

#include <clocale>
#include <string>
#include <string_view>

#include "caseconv/caseconv.h"

namespace {

constexpr std::size_t kUnits = 32767;

const std::u16string& MixedCaseLatin() {
    static const std::u16string text = [] {
        constexpr std::u16string_view words = u"The quick BROWN fox jumps over the Lazy DOG. is it 3.5 M? yes! ";
        std::u16string t;
        while (t.size() < kUnits) {
            t += words;
        }
        t.resize(kUnits);
        return t;
    }();
    return text;
}

void PerUnit(benchmark::State& state) {
    state.counters["per_unit"] = benchmark::Counter(static_cast<double>(kUnits),
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

void Copy(benchmark::State& state) {
    const std::u16string& text = MixedCaseLatin();
    for (auto _ : state) {
        std::u16string copy(text);
        benchmark::DoNotOptimize(copy.data());
    }
    PerUnit(state);
}

void Convert(benchmark::State& state, morvane::CaseMode mode) {
    const std::u16string& text = MixedCaseLatin();
    for (auto _ : state) {
        std::u16string converted = morvane::ConvertCase(text, mode);
        benchmark::DoNotOptimize(converted.data());
    }
    PerUnit(state);
}

BENCHMARK(Copy);
BENCHMARK_CAPTURE(Convert, Upper, morvane::CaseMode::Upper);
BENCHMARK_CAPTURE(Convert, Lower, morvane::CaseMode::Lower);
BENCHMARK_CAPTURE(Convert, Title, morvane::CaseMode::Title);
BENCHMARK_CAPTURE(Convert, Sentence, morvane::CaseMode::Sentence);

}  // namespace

int main(int argc, char** argv) {
    // As the program does: the environment's locale, set once at start.
    std::setlocale(LC_ALL, "");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

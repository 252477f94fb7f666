// ConvertCase on the longest text an underlined entity may hold, in every mode, next to a plain
// copy of the same text; then a formatted note of the same length, converted as plain text
// (ConvertCase) and as formatted text (ConvertMTextCase); then notes with symbol fonts and fields,
// their fields kept (ConvertText), and a text of "%<" that none closes. The counter per_unit is the
// time per UTF-16 code unit (ns).
#include <benchmark/benchmark.h>

#include <clocale>
#include <string>
#include <string_view>

#include "caseconv/caseconv.h"

namespace {

constexpr std::size_t kUnits = 32767;

// The longest text an underlined entity may hold: the unit again and again, cut at the limit.
std::u16string Repeated(std::u16string_view unit) {
    std::u16string text;
    while (text.size() < kUnits) {
        text += unit;
    }
    text.resize(kUnits);
    return text;
}

const std::u16string& MixedCaseLatin() {
    static const std::u16string text = [] {
        constexpr std::u16string_view words = u"The quick BROWN fox jumps over the Lazy DOG. is it 3.5 M? yes! ";
        return Repeated(words);
    }();
    return text;
}

// General notes as a drawing carries them: fonts, colours, underlining, paragraphs, a stacked
// fraction, named symbols, an escaped backslash.
const std::u16string& FormattedNote() {
    static const std::u16string text = [] {
        constexpr std::u16string_view notes =
            uR"({\fArial|b1|i0|c0|p34;\H3.5;GENERAL NOTES:}\P\pxi-3,l3;1. ALL DIMENSIONS ARE IN )"
            uR"(\LMILLIMETRES\l UNLESS NOTED OTHERWISE.\P2. {\C1;DO NOT SCALE} FROM THIS DRAWING.\P)"
            uR"(3. PIPES \U+2205100 LAID AT \S1/2; IN FALL, SEE C:\\PLANS\\DRAINAGE.\P)"
            uR"(4. {\fTimes New Roman|b0|i1;Concrete} GRADE C30, COVER 40\U+00B0 MIN.\~\P)";
        return Repeated(notes);
    }();
    return text;
}

// The same notes with what drawings also hold: symbols in a symbol font and fields.
const std::u16string& NoteWithSymbolsAndFields() {
    static const std::u16string text = [] {
        constexpr std::u16string_view notes =
            uR"({\fArial|b1;\H3.5;GENERAL NOTES:}\P1. HOLES {\Fgdt;n}12 THRU, {\Fgdt|c0;j}0.1 A.\P)"
            uR"(2. DRAWN %<\AcVar SaveDate \f "M/d/yyyy">% BY %<\AcVar Author>%, SHEET )"
            uR"(%<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>%.\P3. {\C1;DO NOT SCALE}.\P)";
        return Repeated(notes);
    }();
    return text;
}

// Nothing but "%<", none of them closed: each is text, and finding that out must not cost a walk to
// the end of the text for each one.
const std::u16string& UnclosedFields() {
    static const std::u16string text = Repeated(u"%<");
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

void ConvertNote(benchmark::State& state, morvane::CaseMode mode, morvane::TextFormat format) {
    const std::u16string& text = FormattedNote();
    for (auto _ : state) {
        std::u16string converted = format == morvane::TextFormat::Formatted ? morvane::ConvertMTextCase(text, mode)
                                                                            : morvane::ConvertCase(text, mode);
        benchmark::DoNotOptimize(converted.data());
    }
    PerUnit(state);
}

// Formatted text with symbol runs and fields kept, as a multiline text with fields is written.
void ConvertNoteWithFields(benchmark::State& state, morvane::CaseMode mode) {
    const std::u16string& text = NoteWithSymbolsAndFields();
    const morvane::UnderlineSplit split{false, text};
    for (auto _ : state) {
        std::u16string converted =
            morvane::ConvertText(split, mode, morvane::TextFormat::Formatted);
        benchmark::DoNotOptimize(converted.data());
    }
    PerUnit(state);
}

// The text of unclosed "%<" with its fields kept, read as plain and as formatted text.
void ConvertUnclosedFields(benchmark::State& state, morvane::TextFormat format) {
    const morvane::UnderlineSplit split{false, UnclosedFields()};
    for (auto _ : state) {
        std::u16string converted = morvane::ConvertText(split, morvane::CaseMode::Upper, format);
        benchmark::DoNotOptimize(converted.data());
    }
    PerUnit(state);
}

BENCHMARK(Copy);
BENCHMARK_CAPTURE(Convert, Upper, morvane::CaseMode::Upper);
BENCHMARK_CAPTURE(Convert, Lower, morvane::CaseMode::Lower);
BENCHMARK_CAPTURE(Convert, Title, morvane::CaseMode::Title);
BENCHMARK_CAPTURE(Convert, Sentence, morvane::CaseMode::Sentence);
BENCHMARK_CAPTURE(ConvertNote, PlainUpper, morvane::CaseMode::Upper, morvane::TextFormat::Plain);
BENCHMARK_CAPTURE(ConvertNote, FormattedUpper, morvane::CaseMode::Upper, morvane::TextFormat::Formatted);
BENCHMARK_CAPTURE(ConvertNote, PlainLower, morvane::CaseMode::Lower, morvane::TextFormat::Plain);
BENCHMARK_CAPTURE(ConvertNote, FormattedLower, morvane::CaseMode::Lower, morvane::TextFormat::Formatted);
BENCHMARK_CAPTURE(ConvertNote, PlainTitle, morvane::CaseMode::Title, morvane::TextFormat::Plain);
BENCHMARK_CAPTURE(ConvertNote, FormattedTitle, morvane::CaseMode::Title, morvane::TextFormat::Formatted);
BENCHMARK_CAPTURE(ConvertNote, PlainSentence, morvane::CaseMode::Sentence, morvane::TextFormat::Plain);
BENCHMARK_CAPTURE(ConvertNote, FormattedSentence, morvane::CaseMode::Sentence, morvane::TextFormat::Formatted);
BENCHMARK_CAPTURE(ConvertNoteWithFields, Upper, morvane::CaseMode::Upper);
BENCHMARK_CAPTURE(ConvertNoteWithFields, Lower, morvane::CaseMode::Lower);
BENCHMARK_CAPTURE(ConvertNoteWithFields, Title, morvane::CaseMode::Title);
BENCHMARK_CAPTURE(ConvertNoteWithFields, Sentence, morvane::CaseMode::Sentence);
BENCHMARK_CAPTURE(ConvertUnclosedFields, Plain, morvane::TextFormat::Plain);
BENCHMARK_CAPTURE(ConvertUnclosedFields, Formatted, morvane::TextFormat::Formatted);

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

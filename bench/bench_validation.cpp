#include "App/Logger.h"
#include "Utils/LinkDetector.h"
#include "Utils/Validation.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype kilobyte = 1024;

// Sizes are in UTF-16 units (QString length).

// One web address whose path fills the text: the whole text is read, and it is valid.
QString oneLongUrl(qsizetype size)
{
    QString text = QStringLiteral("https://example.com/");
    const QString segment = QStringLiteral("path-(segment)_with.dots/");
    while (text.size() < size)
        text += segment;
    text.truncate(size);
    return text + QStringLiteral("end");
}

// Prose with a link every few words.
QString prose(qsizetype size)
{
    QString text;
    const QString sentence = QStringLiteral(
        "See example.com/a?b=c or mail jane.doe+tag@mail.example.co.uk, "
        "then (https://www.example.org/wiki/Foo_(bar)) and 192.168.0.1:8080/admin. ");
    while (text.size() < size)
        text += sentence;
    text.truncate(size);
    return text;
}

// Words, numbers and punctuation, no link anywhere: validation has to read all of it.
QString wordsWithoutLinks(qsizetype size)
{
    QString text;
    const QString sentence = QStringLiteral(
        "Lorem ipsum dolor sit amet, version 1.2.3 costs 4.50 (approx.) e.g. file.txt; "
        "caf\u00e9 na\u00efve \U0001F600 done! user@localhost ");
    while (text.size() < size)
        text += sentence;
    text.truncate(size);
    return text;
}

// The characters a backtracking matcher suffers from: long runs that almost form a link.
QString adversarial(qsizetype size)
{
    QString text;
    const QString piece = QStringLiteral("a.b+c@d.");
    while (text.size() < size)
        text += piece;
    text.truncate(size);
    return text;
}

void silenceLog()
{
    static const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    Logger::shared().setOutputDescriptor(devNull);
}

void isValidUrlOnOneLongUrl(benchmark::State &state)
{
    silenceLog();
    const QString text = oneLongUrl(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Validation::isValidUrl(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same link with a blank at the end: read to the end, then refused.
void isValidUrlOnUrlWithTrailingBlank(benchmark::State &state)
{
    silenceLog();
    const QString text = oneLongUrl(state.range(0)) + QLatin1Char(' ');
    for (auto _ : state)
        benchmark::DoNotOptimize(Validation::isValidUrl(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void isValidUrlOnProse(benchmark::State &state)
{
    silenceLog();
    const QString text = prose(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Validation::isValidUrl(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void detectorOnTextWithoutLinks(benchmark::State &state)
{
    const QString text = wordsWithoutLinks(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LinkDetector::matches(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void detectorOnProse(benchmark::State &state)
{
    const QString text = prose(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LinkDetector::matches(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void detectorOnAdversarialText(benchmark::State &state)
{
    const QString text = adversarial(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(LinkDetector::matches(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(isValidUrlOnOneLongUrl)
    ->Arg(kilobyte)
    ->Arg(kilobyte *kilobyte)
    ->Arg(10 * kilobyte * kilobyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(isValidUrlOnUrlWithTrailingBlank)
    ->Arg(kilobyte)
    ->Arg(kilobyte *kilobyte)
    ->Arg(10 * kilobyte * kilobyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(isValidUrlOnProse)
    ->Arg(kilobyte)
    ->Arg(kilobyte *kilobyte)
    ->Arg(10 * kilobyte * kilobyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(detectorOnTextWithoutLinks)
    ->Arg(kilobyte)
    ->Arg(kilobyte *kilobyte)
    ->Arg(10 * kilobyte * kilobyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(detectorOnProse)
    ->Arg(kilobyte)
    ->Arg(kilobyte *kilobyte)
    ->Arg(10 * kilobyte * kilobyte)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(detectorOnAdversarialText)
    ->Arg(kilobyte)
    ->Arg(kilobyte *kilobyte)
    ->Arg(10 * kilobyte * kilobyte)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

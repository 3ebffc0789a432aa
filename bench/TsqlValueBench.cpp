// The T-SQL value layer on its common paths: what one decimal operation or conversion costs
// inside a statement that runs it once per row.
#include "db/embedded/tsql/TsqlValue.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace db::tsql;

// Quantities of decimal(28,4) and costs of money as a year's ledger holds them.
std::vector<Decimal> quantities() {
    std::vector<Decimal> values;
    for (int i = 1; i <= 1024; ++i)
        values.push_back(Decimal(Decimal::Mantissa(i) * 12345 + 7, 4));
    return values;
}

void DecimalMultiply(benchmark::State& state) {
    const auto values = quantities();
    std::size_t i = 0;
    for (auto _ : state) {
        // decimal(28,4) * money: decimal(38,6), rounded at the cut
        benchmark::DoNotOptimize(Decimal::multiply(values[i & 1023], values[(i + 7) & 1023], 6));
        ++i;
    }
}
BENCHMARK(DecimalMultiply);

void DecimalDivide(benchmark::State& state) {
    const auto values = quantities();
    std::size_t i = 0;
    for (auto _ : state) {
        // Sum(amount) decimal(38,6) / Sum(qty) decimal(38,4): decimal(38,6), truncated
        benchmark::DoNotOptimize(
            Decimal::divide(values[i & 1023].rescaled(6), values[(i + 7) & 1023], 6));
        ++i;
    }
}
BENCHMARK(DecimalDivide);

void DecimalDivideWide(benchmark::State& state) {
    // 38 digits at scale 10 divided at scale 20: the dividend needs 256 bits.
    const Decimal dividend(Decimal::Mantissa(123456789012345678LL) * 1000000000000LL, 10);
    const Decimal divisor(Decimal::Mantissa(987654321987LL), 10);
    for (auto _ : state)
        benchmark::DoNotOptimize(Decimal::divide(dividend, divisor, 20));
}
BENCHMARK(DecimalDivideWide);

void DecimalFromDouble(benchmark::State& state) {
    std::vector<double> values;
    for (int i = 1; i <= 1024; ++i)
        values.push_back(i * 1.37 + 0.005);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Decimal::fromDouble(values[i & 1023], 4));
        ++i;
    }
}
BENCHMARK(DecimalFromDouble);

void DecimalParseAndText(benchmark::State& state) {
    for (auto _ : state) {
        const auto value = Decimal::parse(u"123456.7890");
        benchmark::DoNotOptimize(value->toString());
    }
}
BENCHMARK(DecimalParseAndText);

void ValueArithmetic(benchmark::State& state) {
    // A whole operation of the engine: typing, the product and the value.
    const TsqlValue qty = TsqlValue::decimal(Decimal(123456, 4), SqlType::decimal(28, 4));
    const TsqlValue cost = TsqlValue::decimal(Decimal(998877, 4), SqlType::money());
    for (auto _ : state)
        benchmark::DoNotOptimize(arithmetic('*', qty, cost));
}
BENCHMARK(ValueArithmetic);

void ValueConvertFloatToDecimal(benchmark::State& state) {
    const TsqlValue value = TsqlValue::floating(1234.5678);
    const SqlType target = SqlType::decimal(28, 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(convert(value, target));
}
BENCHMARK(ValueConvertFloatToDecimal);

void ValueCompareText(benchmark::State& state) {
    const TsqlValue left = TsqlValue::text(QStringLiteral("PRODUCT-00123  "), SqlType::varChar(20));
    const TsqlValue right = TsqlValue::text(QStringLiteral("product-00123"), SqlType::varChar(20));
    for (auto _ : state)
        benchmark::DoNotOptimize(compare(left, right));
}
BENCHMARK(ValueCompareText);

} // namespace

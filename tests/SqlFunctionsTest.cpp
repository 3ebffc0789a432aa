// The engine's SQL functions against the value layer they stand for: whatever shortcut a
// function takes for doubles, integers and decimals kept as doubles, its result (or error) is
// the one the general arithmetic, conversion and comparison give.
#include "db/embedded/tsql/SqlFunctions.h"
#include "TsqlTestValues.h"
#include "db/embedded/tsql/SqliteValues.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

using namespace tsqltest;

// How an operand reaches the function: as a table keeps it (decimals of at most 15 digits as
// their double) or as an expression gives it (decimals as exact blobs); or a double that some
// other writer put into a decimal column, which reads rounded to the column's scale.
enum class Storage { Stored, Exact };

struct Operand {
    Operand(TsqlValue v, Storage s = Storage::Stored, std::optional<double> foreign = {})
        : value(std::move(v)), storage(s), foreignDouble(foreign) {}
    TsqlValue value;
    Storage storage;
    std::optional<double> foreignDouble;
};

class SqlFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &database_), SQLITE_OK);
        functions_ = std::make_unique<SqlFunctions>(database_);
    }
    void TearDown() override {
        functions_.reset();
        sqlite3_close(database_);
    }

    void bind(sqlite3_stmt* statement, int index, const Operand& operand) {
        if (operand.foreignDouble) {
            sqlite3_bind_double(statement, index, *operand.foreignDouble);
            return;
        }
        const auto* decimal = std::get_if<Decimal>(&operand.value.payload());
        if (decimal != nullptr && operand.storage == Storage::Stored && decimal->digits() <= 15) {
            sqlite3_bind_double(statement, index, decimal->toDouble());
            return;
        }
        ASSERT_EQ(SqliteValues::bind(statement, index, operand.value), SQLITE_OK);
    }

    // Runs the function on the arguments (type codes as integers, operands as stored) and
    // gives its result read as the type, or "error N".
    std::string call(const char* sql, const std::vector<std::variant<qint64, Operand>>& arguments,
                     const SqlType& resultType) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(database_, sql, -1, &statement, nullptr), SQLITE_OK);
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (const auto* number = std::get_if<qint64>(&arguments[i]))
                sqlite3_bind_int64(statement, int(i) + 1, *number);
            else
                bind(statement, int(i) + 1, std::get<Operand>(arguments[i]));
        }
        std::string result;
        if (sqlite3_step(statement) == SQLITE_ROW) {
            const TsqlValue value = SqliteValues::readColumn(statement, 0, resultType);
            result = shown(value) + " " + value.type().name().toStdString();
            if (sqlite3_column_type(statement, 0) == SQLITE_FLOAT &&
                std::get_if<Decimal>(&value.payload()) != nullptr)
                result += " kept as a double";
        } else {
            const auto error = functions_->takeError();
            result = "error " + std::to_string(error ? error->number() : -1);
        }
        sqlite3_finalize(statement);
        return result;
    }

    static std::string expected(const std::function<TsqlValue()>& action, bool stored = false) {
        try {
            const TsqlValue value = action();
            std::string result = shown(value) + " " + value.type().name().toStdString();
            const auto* decimal = std::get_if<Decimal>(&value.payload());
            if (stored && decimal != nullptr && decimal->digits() <= 15)
                result += " kept as a double";
            return result;
        } catch (const TsqlError& error) {
            return "error " + std::to_string(error.number());
        }
    }

    // The value the function reads from the operand.
    static TsqlValue readValue(const Operand& operand) {
        if (!operand.foreignDouble)
            return operand.value;
        const auto decimal =
            Decimal::fromDouble(*operand.foreignDouble, operand.value.type().scale);
        return TsqlValue::decimal(*decimal, operand.value.type());
    }

    std::string op(char symbol, const Operand& left, const Operand& right) {
        const SqlType type = arithmeticResultType(symbol, left.value.type(), right.value.type());
        return call("SELECT tsql_op(?1, ?2, ?3, ?4, ?5, ?6)",
                    {qint64(symbol), type.code(), left, left.value.type().code(), right,
                     right.value.type().code()},
                    type);
    }

    sqlite3* database_ = nullptr;
    std::unique_ptr<SqlFunctions> functions_;
};

// Operands of every kind the shortcuts look at, and the cases next to their edges.
std::vector<Operand> operands(std::mt19937_64& random) {
    std::vector<Operand> result;
    std::uniform_real_distribution<double> spread(-1e6, 1e6);
    for (int i = 0; i < 6; ++i)
        result.emplace_back(floating(spread(random)));
    result.emplace_back(floating(0));
    result.emplace_back(floating(1e308));
    result.emplace_back(floating(-2.5));
    result.emplace_back(integer(std::int64_t(random() % 2000000) - 1000000));
    result.emplace_back(integer(0));
    result.emplace_back(integer(std::numeric_limits<std::int32_t>::max()));
    result.emplace_back(integer(std::numeric_limits<std::int32_t>::min()));
    result.emplace_back(integer(std::numeric_limits<std::int64_t>::max(), SqlType::bigInt()));
    result.emplace_back(integer(3000000000LL, SqlType::bigInt()));
    result.emplace_back(money("1234.5678"));
    result.emplace_back(money("1234.5678"), Storage::Exact);
    result.emplace_back(money("-0.0001"));
    result.emplace_back(money("922337203685477.5807"));            // 19 digits: an exact blob
    result.emplace_back(money("0"), Storage::Stored, 0.123456789); // reads as 0.1235
    result.emplace_back(number("12.3456", 28, 4));
    result.emplace_back(number("12.3456", 28, 4), Storage::Exact);
    result.emplace_back(number("98765432109876543210.12", 28, 2));
    result.emplace_back(number("2.675", 10, 3));
    result.emplace_back(number("0", 10, 3), Storage::Stored, 2.675);
    result.emplace_back(TsqlValue::null(SqlType::floatType()));
    result.emplace_back(TsqlValue::null(SqlType::money()));
    return result;
}

TEST_F(SqlFunctionsTest, OperatorsGiveWhatTheValueArithmeticGives) {
    std::mt19937_64 random(9);
    for (int round = 0; round < 3; ++round) {
        const auto values = operands(random);
        for (const Operand& left : values) {
            for (const Operand& right : values) {
                for (const char symbol : {'+', '-', '*', '/', '%'}) {
                    std::string want;
                    try {
                        arithmeticResultType(symbol, left.value.type(), right.value.type());
                    } catch (const TsqlError&) {
                        continue; // no such operator for these types: refused when compiled
                    }
                    want = expected(
                        [&] { return arithmetic(symbol, readValue(left), readValue(right)); });
                    EXPECT_EQ(op(symbol, left, right), want)
                        << shown(left.value) << " " << left.value.type().name().toStdString() << " "
                        << symbol << " " << shown(right.value) << " "
                        << right.value.type().name().toStdString();
                }
            }
        }
    }
}

TEST_F(SqlFunctionsTest, ConversionsAndComparisonsGiveWhatTheValueLayerGives) {
    std::mt19937_64 random(10);
    const SqlType targets[] = {SqlType::floatType(),   SqlType::charType(4),
                               SqlType::varChar(3),    SqlType::charType(12),
                               SqlType::money(),       SqlType::decimal(28, 4),
                               SqlType::decimal(28, 2)};
    for (const Operand& operand : operands(random)) {
        for (const SqlType& target : targets) {
            EXPECT_EQ(call("SELECT tsql_cvt(?1, ?2, ?3, 0)",
                           {target.code(), operand, operand.value.type().code()}, target),
                      expected([&] { return convert(readValue(operand), target); }))
                << shown(operand.value) << " " << operand.value.type().name().toStdString()
                << " to " << target.name().toStdString();
            EXPECT_EQ(call("SELECT tsql_store(?1, ?2, ?3)",
                           {target.code(), operand, operand.value.type().code()}, target),
                      expected(
                          [&] {
                              return convertImplicitly(readValue(operand), target,
                                                       Assignment::Column);
                          },
                          true))
                << shown(operand.value) << " " << operand.value.type().name().toStdString()
                << " stored as " << target.name().toStdString();
        }
        for (const Operand& other : operands(random)) {
            const auto order = [&] {
                const auto result = compare(readValue(operand), readValue(other));
                return result ? integer(*result) : TsqlValue::null(SqlType::integer());
            };
            EXPECT_EQ(call("SELECT tsql_cmp(?1, ?2, ?3, ?4)",
                           {operand, operand.value.type().code(), other, other.value.type().code()},
                           SqlType::integer()),
                      expected(order))
                << shown(operand.value) << " " << operand.value.type().name().toStdString()
                << " against " << shown(other.value) << " "
                << other.value.type().name().toStdString();
        }
    }
}

} // namespace

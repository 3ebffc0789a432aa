#include "db/embedded/tsql/Interpreter.h"

#include "db/embedded/EmbeddedErrors.h"
#include "db/embedded/SqliteStatement.h"
#include "db/embedded/StatementCache.h"
#include "db/embedded/tsql/BuiltinFunctions.h"
#include "db/embedded/tsql/DeclarationChecker.h"
#include "db/embedded/tsql/Evaluator.h"
#include "db/embedded/tsql/LikePattern.h"
#include "db/embedded/tsql/Parser.h"
#include "db/embedded/tsql/SqlFunctions.h"
#include "db/embedded/tsql/SqliteValues.h"

#include <QDateTime>

#include <algorithm>

#include <sqlite3.h>

#include <unordered_map>

namespace db::tsql {

namespace {

constexpr int nestingLimit = 32;
constexpr qsizetype batchCacheSize = 256;

[[noreturn]] void fail(int number, const QString& message, ErrorScope scope = ErrorScope::Statement,
                       int severity = 16) {
    throw TsqlError(number, message, severity, 1, scope);
}

QString quoted(const QString& name) {
    QString text = name;
    return '"' + text.replace('"', QStringLiteral("\"\"")) + '"';
}

// The type a value of the client takes in T-SQL: integers bigint, strings nvarchar, as the
// ODBC driver binds them.
SqlType markerTypeOf(const SqlValue& value) {
    const int id = value.value.metaType().id();
    switch (value.type) {
    case DataType::Integer:
        return SqlType::bigInt();
    case DataType::Float:
        return SqlType::floatType();
    case DataType::DateTime:
        return SqlType::dateTime();
    case DataType::String:
        return SqlType::nVarChar(4000);
    case DataType::Unknown:
        break;
    }
    if (value.isNull())
        return SqlType::null();
    switch (id) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return SqlType::bigInt();
    case QMetaType::Double:
    case QMetaType::Float:
        return SqlType::floatType();
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return SqlType::dateTime();
    case QMetaType::QByteArray:
        return SqlType{TypeKind::VarBinary, 0, 0, SqlType::maxLength};
    default:
        return SqlType::nVarChar(4000);
    }
}

TsqlValue markerValue(const SqlValue& value, const SqlType& type) {
    if (value.isNull())
        return TsqlValue::null(type);
    switch (type.kind) {
    case TypeKind::BigInt: {
        bool ok = false;
        const qint64 number = value.value.toLongLong(&ok);
        if (ok)
            return TsqlValue::integer(number, type);
        return convert(TsqlValue::text(value.value.toString(), SqlType::nVarChar(4000)), type);
    }
    case TypeKind::Float:
        return TsqlValue::floating(value.value.toDouble(), type);
    case TypeKind::DateTime: {
        if (value.value.metaType().id() == QMetaType::QDateTime ||
            value.value.metaType().id() == QMetaType::QDate) {
            if (const auto parsed = DateTimeValue::fromQDateTime(value.value.toDateTime()))
                return TsqlValue::dateTime(*parsed, type);
            fail(242, QStringLiteral("The conversion of a nvarchar data type to a datetime data "
                                     "type resulted in an out-of-range value."));
        }
        return convert(TsqlValue::text(value.value.toString(), SqlType::nVarChar(4000)), type);
    }
    case TypeKind::VarBinary:
        return TsqlValue::binary(value.value.toByteArray(), type);
    default: {
        const QString text = value.value.toString();
        return TsqlValue::text(text,
                               text.size() > 4000 ? SqlType::nVarChar(SqlType::maxLength) : type);
    }
    }
}

// A value as the access layer gives it to the program: decimals and money as their exact text.
QVariant clientValue(const TsqlValue& value) {
    if (value.isNull())
        return {};
    if (const auto* decimal = std::get_if<Decimal>(&value.payload()))
        return decimal->toString();
    return value.toVariant();
}

QVariant outputValue(const TsqlValue& value, DataType type) {
    const QVariant variant = clientValue(value);
    if (!variant.isValid())
        return {};
    switch (type) {
    case DataType::Integer:
        if (const auto* decimal = std::get_if<Decimal>(&value.payload()))
            return QVariant(qlonglong(decimal->toInteger().value_or(0)));
        return variant.canConvert<qlonglong>() ? QVariant(variant.toLongLong()) : variant;
    case DataType::Float:
        return variant.canConvert<double>() ? QVariant(variant.toDouble()) : variant;
    case DataType::String:
        if (variant.metaType().id() == QMetaType::QDateTime)
            return formatSqlDateTime(variant.toDateTime());
        return variant.toString();
    default:
        return variant;
    }
}

// The access layer's error for what a batch or call raised: every entry, in order.
DatabaseError reported(const std::vector<TsqlError>& errors) {
    std::vector<DatabaseErrorEntry> entries;
    for (const TsqlError& error : errors) {
        const DatabaseError databaseError = error.toDatabaseError();
        entries.insert(entries.end(), databaseError.entries().begin(),
                       databaseError.entries().end());
    }
    return DatabaseError(std::move(entries));
}

TsqlError fromDatabaseError(const DatabaseError& error) {
    const DatabaseErrorEntry entry = error.entries().empty()
                                         ? DatabaseErrorEntry{QString(), 0, error.message()}
                                         : error.entries().front();
    return TsqlError(entry.nativeCode, entry.text);
}

// Resets a statement when the run leaves, whichever way.
class StatementReset {
public:
    explicit StatementReset(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementReset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementReset(const StatementReset&) = delete;
    StatementReset& operator=(const StatementReset&) = delete;

private:
    sqlite3_stmt* statement_;
};

QString typeText(const TypeName& type) {
    QString text = type.name;
    if (!type.arguments.isEmpty()) {
        QStringList arguments;
        for (int argument : type.arguments)
            arguments << (argument == SqlType::maxLength ? QStringLiteral("max")
                                                         : QString::number(argument));
        text += '(' + arguments.join(',') + ')';
    }
    return text;
}

// RaisError's message: printf's conversions %d %i %u %s %x %X %o with flags, width and
// precision, an asterisk taking the width or precision from the arguments.
QString formatMessage(const QString& format, const std::vector<TsqlValue>& arguments) {
    QString result;
    std::size_t next = 0;
    const auto argument = [&]() -> const TsqlValue* {
        return next < arguments.size() ? &arguments[next++] : nullptr;
    };
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != '%') {
            result += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            result += '%';
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        bool left = false;
        bool zero = false;
        bool plus = false;
        while (j < format.size() && QStringLiteral("-+ 0#").contains(format[j])) {
            left = left || format[j] == '-';
            zero = zero || format[j] == '0';
            plus = plus || format[j] == '+';
            ++j;
        }
        int width = 0;
        if (j < format.size() && format[j] == '*') {
            if (const auto* value = argument())
                width = int(convert(*value, SqlType::integer()).asInteger());
            ++j;
        }
        while (j < format.size() && format[j].isDigit())
            width = width * 10 + format[j++].digitValue();
        int precision = -1;
        if (j < format.size() && format[j] == '.') {
            ++j;
            precision = 0;
            if (j < format.size() && format[j] == '*') {
                if (const auto* value = argument())
                    precision = int(convert(*value, SqlType::integer()).asInteger());
                ++j;
            }
            while (j < format.size() && format[j].isDigit())
                precision = precision * 10 + format[j++].digitValue();
        }
        while (j < format.size() && (format[j] == 'h' || format[j] == 'l' || format[j] == 'I'))
            ++j;
        if (j >= format.size()) {
            result += format.mid(i);
            break;
        }
        const QChar type = format[j];
        const TsqlValue* value = argument();
        QString text;
        if (value == nullptr) {
            text = QStringLiteral("(null)");
        } else if (type == 's') {
            text = value->isNull() ? QStringLiteral("(null)")
                                   : convert(*value, SqlType::nVarChar(4000)).asText();
            if (precision >= 0)
                text.truncate(precision);
        } else if (type == 'd' || type == 'i' || type == 'u' || type == 'x' || type == 'X' ||
                   type == 'o') {
            if (value->isNull()) {
                text = QStringLiteral("(null)");
            } else {
                const qint64 number = convert(*value, SqlType::bigInt()).asInteger();
                const int base = type == 'x' || type == 'X' ? 16 : type == 'o' ? 8 : 10;
                text = QString::number(type == 'u' || base != 10 ? qint64(quint32(number)) : number,
                                       base);
                if (type == 'X')
                    text = text.toUpper();
                if (plus && number >= 0 && base == 10)
                    text.prepend('+');
            }
        } else {
            text = format.mid(i, j - i + 1);
        }
        if (text.size() < width)
            text = left ? text.leftJustified(width, ' ')
                        : text.rightJustified(width, zero && type != 's' ? '0' : ' ');
        result += text;
        i = j;
    }
    return result;
}

} // namespace

// ---- the state of a run ----------------------------------------------------------------------

struct Interpreter::CompiledEntry {
    int generation = -1;
    CompiledStatement statement;
    std::shared_ptr<SqliteStatement> prepared;
    std::vector<std::shared_ptr<SqliteStatement>> followUp;
};

struct CompiledKey {
    const void* node;
    int part;
    int depth;
    bool operator==(const CompiledKey&) const = default;
};

struct CompiledKeyHash {
    std::size_t operator()(const CompiledKey& key) const {
        return std::hash<const void*>()(key.node) ^ (std::size_t(key.part) << 20) ^
               (std::size_t(key.depth) << 26);
    }
};

struct Interpreter::Unit {
    Batch batch;
    std::shared_ptr<const StoredProcedure> procedure;
    std::vector<SqlType> markerTypes;
    std::unordered_map<CompiledKey, CompiledEntry, CompiledKeyHash> compiled;
    // Whether an expression can be worked out here, without SQLite; its static type.
    std::unordered_map<const Expr*, bool> simple;
    std::unordered_map<const Expr*, SqlType> types;
    std::unordered_map<const Expr*, TsqlValue> literals;
    // The type each Declare gives its variable, and the catalog generation it was read in.
    struct DeclaredType {
        int generation = -1;
        std::optional<SqlType> type;
    };
    std::unordered_map<const VariableDeclaration*, DeclaredType> declaredTypes;
    // Every scalar variable the text declares, by its name in lower case; read on the first
    // use of a variable whose Declare did not run.
    std::optional<QHash<QString, const VariableDeclaration*>> declarations;

    const StatementList& statements() const {
        return procedure ? procedure->definition->body : batch.statements;
    }
};

struct Interpreter::Results {
    std::optional<ResultSet> first;
    // Insert ... Exec: every row of every result.
    bool collect = false;
    std::vector<std::vector<TsqlValue>> rows;
    std::vector<SqlType> types;
};

// One argument of a call: the parameter it goes to, its value (none: the default), and the
// caller's variable that takes the parameter's value back.
struct Interpreter::CallArgument {
    QString parameter;
    std::optional<TsqlValue> value;
    bool output = false;
    QString callerVariable;
};

struct Variable {
    SqlType type;
    TsqlValue value;
};

struct TableVariable {
    TableInfo info;
};

struct Cursor {
    const DeclareCursorStatement* declaration = nullptr;
    bool open = false;
    std::vector<std::vector<TsqlValue>> rows;
    qsizetype position = -1;
};

struct Frame {
    Frame* caller = nullptr;
    Interpreter::Unit* unit = nullptr;
    int depth = 0;
    QString procedure;
    QHash<QString, Variable> variables;
    QHash<QString, TableVariable> tables;
    QHash<QString, Cursor> cursors;
    std::optional<TsqlValue> scopeIdentity;
    std::vector<TsqlError> caught;
    const std::vector<SqlValue>* markers = nullptr;
    const std::vector<TsqlValue>* rowValues = nullptr;
    bool xactAbort = false;
    int returnValue = 0;
    QStringList tempTables;
    QStringList usedTableVariables;
};

// Keeps a frame on the interpreter's stack while it runs.
class FrameGuard {
public:
    FrameGuard(std::vector<Frame*>& frames, Frame& frame) : frames_(frames) {
        frames_.push_back(&frame);
    }
    ~FrameGuard() { frames_.pop_back(); }
    FrameGuard(const FrameGuard&) = delete;
    FrameGuard& operator=(const FrameGuard&) = delete;

private:
    std::vector<Frame*>& frames_;
};

// What the statement compiler sees from a frame.
class FrameEnvironment : public CompileEnvironment {
public:
    FrameEnvironment(Interpreter& interpreter, Frame& frame)
        : interpreter_(interpreter), frame_(frame) {}

    const TableInfo* table(const ObjectName& name) override {
        const QString object = name.object();
        if (object.startsWith('@')) {
            const auto found = frame_.tables.constFind(object.toLower());
            if (found == frame_.tables.cend())
                fail(1087, QStringLiteral("Must declare the table variable \"%1\".").arg(object),
                     ErrorScope::Batch, 15);
            return &found.value().info;
        }
        if (object.startsWith('#'))
            return interpreter_.catalog_.table(object, true);
        return interpreter_.catalog_.table(object);
    }
    std::optional<SqlType> variableType(const QString& name) override {
        const Variable* found = interpreter_.findVariable(frame_, name.toLower());
        if (found == nullptr)
            return std::nullopt;
        return found->type;
    }
    std::optional<SqlType> resolveType(const QString& name) override {
        return interpreter_.catalog_.userType(name);
    }
    SqlType markerType(int number) override {
        const auto& types = frame_.unit->markerTypes;
        if (number < 0 || std::size_t(number) >= types.size())
            fail(8178,
                 QStringLiteral("The parameterized query expects parameter %1, which was "
                                "not supplied.")
                     .arg(number + 1),
                 ErrorScope::Batch);
        return types[std::size_t(number)];
    }
    bool identityInsert(const QString& tableName) override {
        return interpreter_.identityInsert_.contains(tableName.toLower());
    }

private:
    Interpreter& interpreter_;
    Frame& frame_;
};

// The values an expression of a frame reads when the engine works it out itself.
class FrameContext : public EvaluationContext {
public:
    FrameContext(Interpreter& interpreter, Frame& frame)
        : interpreter_(interpreter), frame_(frame) {}

    TsqlValue variable(const QString& name) override {
        const Variable* found = interpreter_.findVariable(frame_, name.toLower());
        if (found == nullptr)
            fail(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name),
                 ErrorScope::Batch, 15);
        return found->value;
    }
    TsqlValue session(const QString& name) override {
        return interpreter_.sessionValue(name, frame_);
    }
    TsqlValue marker(int number) override {
        if (frame_.rowValues != nullptr)
            return (*frame_.rowValues)[std::size_t(number)];
        if (frame_.markers == nullptr || std::size_t(number) >= frame_.markers->size())
            fail(8178,
                 QStringLiteral("The parameterized query expects parameter %1, which was "
                                "not supplied.")
                     .arg(number + 1),
                 ErrorScope::Batch);
        return markerValue((*frame_.markers)[std::size_t(number)],
                           frame_.unit->markerTypes[std::size_t(number)]);
    }
    SqlType staticType(const Expr& expression) override {
        return interpreter_.staticType(expression, frame_);
    }
    SqlType resolveType(const TypeName& type) override {
        std::optional<SqlType> resolved;
        if (type.arguments.isEmpty())
            resolved = interpreter_.catalog_.userType(type.name);
        if (!resolved)
            resolved = SqlType::fromDeclaration(type.name, type.arguments);
        if (!resolved)
            fail(2715,
                 QStringLiteral("Column, parameter, or variable #1: Cannot find data type "
                                "%1.")
                     .arg(type.name),
                 ErrorScope::Batch);
        return *resolved;
    }

private:
    Interpreter& interpreter_;
    Frame& frame_;
};

Interpreter::Interpreter(sqlite3* database, Catalog& catalog, SqlFunctions& functions,
                         StatementCache& statements, QString databaseName)
    : database_(database), catalog_(catalog), functions_(functions), statements_(statements),
      databaseName_(std::move(databaseName)) {}

Interpreter::~Interpreter() = default;

void Interpreter::schemaChanged() {
    catalog_.invalidate();
}

// ---- units -----------------------------------------------------------------------------------

std::shared_ptr<Interpreter::Unit> Interpreter::batchUnit(const QString& text,
                                                          const std::vector<SqlType>& markerTypes) {
    QString key = text;
    key += QChar(0);
    for (const SqlType& type : markerTypes)
        key += QString::number(type.code()) + ',';
    const auto found = batches_.constFind(key);
    if (found != batches_.cend())
        return found.value();
    auto unit = std::make_shared<Unit>();
    unit->batch = Parser::parseBatch(text);
    unit->markerTypes = markerTypes;
    for (std::size_t i = 0; i < unit->batch.statements.size(); ++i) {
        const auto& statement = unit->batch.statements[i];
        if (i > 0 && statement->kind == StatementKind::CreateProcedure) {
            TsqlError error(111,
                            QStringLiteral("'CREATE/ALTER PROCEDURE' must be the first statement "
                                           "in a query batch."),
                            15, 1, ErrorScope::Batch);
            error.setPlace(QString(), statement->line);
            throw error;
        }
    }
    DeclarationChecker::check(unit->batch.statements, {});
    if (batches_.size() >= batchCacheSize) {
        batches_.remove(batchOrder_.front());
        batchOrder_.pop_front();
    }
    batches_.insert(key, unit);
    batchOrder_.push_back(key);
    return unit;
}

std::shared_ptr<Interpreter::Unit> Interpreter::procedureUnit(const QString& name) {
    if (procedureGeneration_ != catalog_.generation()) {
        procedures_.clear();
        procedureGeneration_ = catalog_.generation();
    }
    const QString key = name.toLower();
    const auto found = procedures_.constFind(key);
    if (found != procedures_.cend())
        return found.value();
    auto procedure = catalog_.procedure(name);
    if (!procedure)
        return nullptr;
    auto unit = std::make_shared<Unit>();
    unit->procedure = procedure;
    procedures_.insert(key, unit);
    return unit;
}

Interpreter::CompiledEntry&
Interpreter::compiled(const Statement& statement, Frame& frame, int part,
                      const std::function<CompiledStatement(StatementCompiler&)>& compile) {
    CompiledEntry& entry = frame.unit->compiled[CompiledKey{&statement, part, frame.depth}];
    if (entry.generation != catalog_.generation()) {
        FrameEnvironment environment(*this, frame);
        StatementCompiler compiler(environment);
        try {
            entry.statement = compile(compiler);
        } catch (TsqlError& error) {
            if (error.line() == 0)
                error.setPlace(frame.procedure, statement.line);
            throw;
        }
        entry.prepared.reset();
        entry.followUp.clear();
        entry.generation = catalog_.generation();
    }
    return entry;
}

// ---- running statements ----------------------------------------------------------------------

TsqlValue Interpreter::bindingValue(const Binding& binding, Frame& frame) {
    switch (binding.kind) {
    case Binding::Kind::Marker:
        if (frame.rowValues != nullptr)
            return (*frame.rowValues)[std::size_t(binding.marker)];
        return markerValue((*frame.markers)[std::size_t(binding.marker)], binding.type);
    case Binding::Kind::Variable: {
        const Variable* found = findVariable(frame, binding.key);
        if (found == nullptr)
            fail(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(binding.name),
                 ErrorScope::Batch, 15);
        return found->value;
    }
    case Binding::Kind::Session:
        return sessionValue(binding.name, frame);
    }
    return {};
}

std::vector<std::vector<TsqlValue>> Interpreter::execute(CompiledEntry& entry, Frame& frame,
                                                         bool wantRows, qint64* changes) {
    const CompiledStatement& statement = entry.statement;
    if (!entry.prepared) {
        if (qEnvironmentVariableIsSet("STOCKCOST_TSQL_TRACE"))
            qWarning("%s", statement.sql.constData());
        entry.prepared = statements_.statement(database_, statement.sql);
    }
    sqlite3_stmt* handle = entry.prepared->handle();
    std::vector<std::vector<TsqlValue>> rows;
    // An insert into a table with an identity column: the numbers are read and written under
    // the write lock, in a transaction of the insert's own when none is open.
    std::optional<Catalog::Identity> identity;
    bool ownTransaction = false;
    QString identityKey;
    if (!statement.identityTable.isEmpty()) {
        identityKey =
            (statement.identityTemporary ? QStringLiteral("temp.") : QStringLiteral("main.")) +
            '"' + statement.identityTable + '"';
        if (tranCount_ == 0 && sqlite3_get_autocommit(database_) != 0) {
            executeSql("BEGIN IMMEDIATE");
            ownTransaction = true;
        }
        identity = catalog_.identity(statement.identityTable, statement.identityTemporary);
    }
    struct OwnTransaction {
        Interpreter& interpreter;
        bool& open;
        ~OwnTransaction() {
            if (open) {
                try {
                    interpreter.executeSql("ROLLBACK");
                } catch (...) {
                }
            }
        }
    } rollbackOnError{*this, ownTransaction};
    qint64 firstLast = 0;
    if (identity) {
        const TableInfo* table =
            catalog_.table(statement.identityTable, statement.identityTemporary);
        const QString key = table != nullptr ? table->sqlName : identityKey;
        firstLast = identity->current.value_or(identity->seed - identity->increment);
        functions_.startIdentity(key, firstLast, identity->increment);
    }
    {
        StatementReset reset(handle);
        for (std::size_t i = 0; i < statement.bindings.size(); ++i) {
            const TsqlValue value = bindingValue(statement.bindings[i], frame);
            if (SqliteValues::bind(handle, int(i) + 1, value) != SQLITE_OK)
                fail(0, QString::fromUtf8(sqlite3_errmsg(database_)));
        }
        const std::size_t columns = statement.columnTypes.size();
        for (;;) {
            const int code = sqlite3_step(handle);
            if (code == SQLITE_DONE)
                break;
            if (code != SQLITE_ROW) {
                if (auto error = functions_.takeError())
                    throw *error;
                const int extended = sqlite3_extended_errcode(database_);
                const QString message = QString::fromUtf8(sqlite3_errmsg(database_));
                throw fromDatabaseError(
                    EmbeddedErrors::fromSqlite(database_, extended, message, statement.sql));
            }
            if (!wantRows)
                continue;
            std::vector<TsqlValue> row;
            row.reserve(columns);
            for (std::size_t c = 0; c < columns; ++c)
                row.push_back(SqliteValues::readColumn(handle, int(c), statement.columnTypes[c]));
            rows.push_back(std::move(row));
        }
    }
    const qint64 inserted = sqlite3_changes64(database_);
    if (changes != nullptr)
        *changes = inserted;
    if (identity) {
        const TableInfo* table =
            catalog_.table(statement.identityTable, statement.identityTemporary);
        const QString key = table != nullptr ? table->sqlName : identityKey;
        std::optional<qint64> last;
        if (statement.identityExplicit && table != nullptr && inserted > 0) {
            // Values given by the statement move the numbering on past the highest of them.
            const auto highest = catalog_.highestValue(*table, identity->column);
            if (highest && (!identity->current || *highest > *identity->current))
                last = *highest;
        } else if (functions_.identityLast(key) != firstLast) {
            last = functions_.identityLast(key);
            const TsqlValue value =
                TsqlValue::decimal(Decimal::fromInteger(*last), SqlType::decimal(38, 0));
            identity_ = value;
            frame.scopeIdentity = value;
        }
        if (last) {
            catalog_.setIdentityCurrent(statement.identityTable, statement.identityTemporary, last);
            identitiesGiven_.insert(key, *last);
        }
    }
    if (ownTransaction) {
        ownTransaction = false;
        executeSql("COMMIT");
    }
    syncTransactionState();
    return rows;
}

void Interpreter::executeSql(const QByteArray& sql) {
    auto statement = statements_.statement(database_, sql);
    sqlite3_stmt* handle = statement->handle();
    StatementReset reset(handle);
    for (;;) {
        const int code = sqlite3_step(handle);
        if (code == SQLITE_DONE || code == SQLITE_ROW) {
            if (code == SQLITE_DONE)
                break;
            continue;
        }
        if (auto error = functions_.takeError())
            throw *error;
        throw fromDatabaseError(
            EmbeddedErrors::fromSqlite(database_, sqlite3_extended_errcode(database_),
                                       QString::fromUtf8(sqlite3_errmsg(database_)), sql));
    }
}

void Interpreter::runCompiledSteps(CompiledEntry& entry, Frame& frame) {
    qint64 changes = 0;
    execute(entry, frame, false, &changes);
    for (const CompiledStatement& step : entry.statement.followUp) {
        CompiledEntry follow;
        follow.statement = step;
        execute(follow, frame, false, nullptr);
    }
}

void Interpreter::runTopLevel(Frame& frame, const StatementList& statements, Results* results) {
    pendingErrors_.clear();
    const FrameGuard guard(frames_, frame);
    try {
        runList(statements, frame, results);
    } catch (TsqlError& error) {
        leaveFrame(frame);
        std::vector<TsqlError> errors = std::move(pendingErrors_);
        pendingErrors_.clear();
        errors.push_back(error);
        if (doomed_) {
            rollbackTransaction();
            errors.emplace_back(3998,
                                QStringLiteral("Uncommittable transaction is detected at the end "
                                               "of the batch. The transaction is rolled back."));
        }
        throw reported(errors);
    }
    leaveFrame(frame);
    std::vector<TsqlError> errors = std::move(pendingErrors_);
    pendingErrors_.clear();
    if (doomed_) {
        rollbackTransaction();
        errors.emplace_back(3998, QStringLiteral("Uncommittable transaction is detected at the end "
                                                 "of the batch. The transaction is rolled back."));
    }
    if (!errors.empty())
        throw reported(errors);
}

ResultSet Interpreter::runBatch(const QString& text, const std::vector<SqlValue>& values) {
    catalog_.refreshIfChanged();
    std::vector<SqlType> markerTypes;
    markerTypes.reserve(values.size());
    for (const SqlValue& value : values)
        markerTypes.push_back(markerTypeOf(value));
    std::shared_ptr<Unit> unit;
    try {
        unit = batchUnit(text, markerTypes);
    } catch (const TsqlError& error) {
        throw error.toDatabaseError();
    }
    if (int(values.size()) != unit->batch.markerCount)
        throw DatabaseError(QStringLiteral("The statement has %1 parameter marker(s) but %2 "
                                           "value(s) were given.")
                                .arg(unit->batch.markerCount)
                                .arg(values.size()));
    Frame frame;
    frame.unit = unit.get();
    frame.markers = &values;
    Results results;
    runTopLevel(frame, unit->statements(), &results);
    return results.first.value_or(ResultSet());
}

Interpreter::Flow Interpreter::runList(const StatementList& statements, Frame& frame,
                                       Results* results) {
    for (const auto& statement : statements) {
        try {
            const Flow flow = runStatement(*statement, frame, results);
            if (flow != Flow::Next)
                return flow;
        } catch (TsqlError& error) {
            if (error.line() == 0)
                error.setPlace(frame.procedure, statement->line);
            handleError(error, frame);
        } catch (const DatabaseError& databaseError) {
            TsqlError error = fromDatabaseError(databaseError);
            error.setPlace(frame.procedure, statement->line);
            handleError(error, frame);
        }
    }
    return Flow::Next;
}

void Interpreter::handleError(TsqlError& error, Frame& frame) {
    lastError_ = error.number();
    syncTransactionState();
    if (frame.xactAbort && error.severity() >= 11 && error.scope() != ErrorScope::Batch) {
        // Set XAct_Abort On: the error ends the batch and its transaction (inside Try the
        // transaction can only be rolled back).
        if (tryDepth_ > 0) {
            if (tranCount_ > 0)
                doomed_ = true;
        } else if (tranCount_ > 0) {
            rollbackTransaction();
        }
        throw TsqlError(error.number(), error.message(), error.severity(), error.state(),
                        ErrorScope::Batch);
    }
    if (tryDepth_ > 0 && error.severity() >= 11)
        throw;
    if (error.scope() == ErrorScope::Batch) {
        if (frame.xactAbort && tranCount_ > 0 && tryDepth_ == 0)
            rollbackTransaction();
        throw;
    }
    pendingErrors_.push_back(error);
}

Interpreter::Flow Interpreter::runStatement(const Statement& statement, Frame& frame,
                                            Results* results) {
    switch (statement.kind) {
    case StatementKind::Block:
        return runList(static_cast<const BlockStatement&>(statement).statements, frame, results);
    case StatementKind::Select:
        return runSelect(static_cast<const SelectStatement&>(statement), frame, results);
    case StatementKind::Insert:
        checkWritable(statement);
        runInsert(static_cast<const InsertStatement&>(statement), frame);
        lastError_ = 0;
        return Flow::Next;
    case StatementKind::Update:
    case StatementKind::Delete: {
        checkWritable(statement);
        CompiledEntry& entry = compiled(statement, frame, 0, [&](StatementCompiler& compiler) {
            return statement.kind == StatementKind::Update
                       ? compiler.update(static_cast<const UpdateStatement&>(statement))
                       : compiler.deleteRows(static_cast<const DeleteStatement&>(statement));
        });
        const ObjectName& target = statement.kind == StatementKind::Update
                                       ? static_cast<const UpdateStatement&>(statement).target
                                       : static_cast<const DeleteStatement&>(statement).target;
        if (target.object().startsWith('@'))
            frame.usedTableVariables << target.object().toLower();
        qint64 changes = 0;
        const auto rows = execute(entry, frame, !entry.statement.assignments.isEmpty(), &changes);
        // Set @v = ... inside an Update: the last row's value stays.
        for (const auto& row : rows) {
            for (int i = 0; i < entry.statement.assignments.size(); ++i)
                assign(frame, entry.statement.assignments[i], row[std::size_t(i)], statement.line);
        }
        rowCount_ = changes;
        lastError_ = 0;
        return Flow::Next;
    }
    case StatementKind::Declare:
        runDeclare(static_cast<const DeclareStatement&>(statement), frame);
        return Flow::Next;
    case StatementKind::SetVariable:
        runSetVariable(static_cast<const SetVariableStatement&>(statement), frame);
        lastError_ = 0;
        return Flow::Next;
    case StatementKind::SetOption:
        runSetOption(static_cast<const SetOptionStatement&>(statement), frame);
        rowCount_ = 0;
        return Flow::Next;
    case StatementKind::If: {
        const auto& branch = static_cast<const IfStatement&>(statement);
        const std::optional<bool> holds = test(*branch.condition, frame, statement, 0);
        lastError_ = 0;
        if (holds.value_or(false))
            return runStatement(*branch.then, frame, results);
        if (branch.otherwise)
            return runStatement(*branch.otherwise, frame, results);
        return Flow::Next;
    }
    case StatementKind::While: {
        const auto& loop = static_cast<const WhileStatement&>(statement);
        while (test(*loop.condition, frame, statement, 0).value_or(false)) {
            const Flow flow = runStatement(*loop.body, frame, results);
            if (flow == Flow::Break)
                break;
            if (flow == Flow::Return)
                return flow;
        }
        return Flow::Next;
    }
    case StatementKind::Break:
        return Flow::Break;
    case StatementKind::Continue:
        return Flow::Continue;
    case StatementKind::Return: {
        const auto& simple = static_cast<const SimpleStatement&>(statement);
        if (simple.value) {
            const TsqlValue value = scalarValue(*simple.value, frame, statement, 0);
            frame.returnValue =
                value.isNull() ? 0 : int(convert(value, SqlType::integer()).asInteger());
        }
        return Flow::Return;
    }
    case StatementKind::Exec:
        return runExec(static_cast<const ExecStatement&>(statement), frame, results);
    case StatementKind::TryCatch:
        return runTryCatch(static_cast<const TryCatchStatement&>(statement), frame, results);
    case StatementKind::Throw:
        runThrow(static_cast<const SimpleStatement&>(statement), frame);
        return Flow::Next;
    case StatementKind::RaisError:
        runRaisError(static_cast<const RaisErrorStatement&>(statement), frame);
        return Flow::Next;
    case StatementKind::Print:
        scalarValue(*static_cast<const SimpleStatement&>(statement).value, frame, statement, 0);
        rowCount_ = 0;
        return Flow::Next;
    case StatementKind::BeginTransaction:
    case StatementKind::Commit:
    case StatementKind::Rollback:
    case StatementKind::SaveTransaction:
        runTransaction(static_cast<const SimpleStatement&>(statement), frame);
        rowCount_ = 0;
        lastError_ = 0;
        return Flow::Next;
    case StatementKind::DeclareCursor:
    case StatementKind::OpenCursor:
    case StatementKind::CloseCursor:
    case StatementKind::DeallocateCursor:
        runCursor(statement, frame);
        lastError_ = 0;
        return Flow::Next;
    case StatementKind::FetchCursor:
        runFetch(static_cast<const FetchStatement&>(statement), frame);
        lastError_ = 0;
        return Flow::Next;
    case StatementKind::CheckDatabase: {
        // SQLite's own check of the file, its findings worded as DBCC CheckDB words its count.
        ResultSet set;
        set.columns << QStringLiteral("Message");
        int problems = 0;
        sqlite3_stmt* check = nullptr;
        if (sqlite3_prepare_v2(database_, "PRAGMA integrity_check", -1, &check, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(check) == SQLITE_ROW) {
                const QString text =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
                if (text == QLatin1String("ok"))
                    continue;
                ++problems;
                set.rows.push_back({text});
            }
        }
        sqlite3_finalize(check);
        set.rows.push_back({QStringLiteral("CHECKDB found 0 allocation errors and %1 consistency "
                                           "errors in database '%2'.")
                                .arg(problems)
                                .arg(databaseName_)});
        if (results != nullptr && !results->collect && !results->first)
            results->first = std::move(set);
        return Flow::Next;
    }
    case StatementKind::Use: {
        const QString name = static_cast<const SimpleStatement&>(statement).name;
        if (name.compare(databaseName_, Qt::CaseInsensitive) != 0)
            fail(40000,
                 QStringLiteral("The embedded engine keeps one database per connection; Use %1 "
                                "is not possible on %2.")
                     .arg(name, databaseName_),
                 ErrorScope::Batch);
        return Flow::Next;
    }
    default:
        checkWritable(statement);
        runSchema(statement, frame);
        lastError_ = 0;
        return Flow::Next;
    }
}

Interpreter::Flow Interpreter::runSelect(const SelectStatement& statement, Frame& frame,
                                         Results* results) {
    const QuerySpec& first = statement.query->firstSpec();
    if (!first.into.isEmpty()) {
        checkWritable(statement);
        // Select ... Into: the table of the result's columns, then its rows.
        CompiledEntry& entry = compiled(statement, frame, 0, [&](StatementCompiler& compiler) {
            CompiledStatement select = compiler.select(statement);
            const QString name = first.into.object();
            const bool temporary = name.startsWith('#');
            if (catalog_.table(name, temporary) != nullptr)
                fail(2714, QStringLiteral("There is already an object named '%1' in the database.")
                               .arg(name));
            QStringList columns;
            for (std::size_t i = 0; i < select.columnTypes.size(); ++i) {
                const QString column = select.columnNames[int(i)];
                if (column.isEmpty())
                    fail(1038,
                         QStringLiteral("An object or column name is missing or empty. For "
                                        "SELECT INTO statements, verify each column has a name."));
                columns << quoted(column) + ' ' +
                               StatementCompiler::declaredType(select.columnTypes[i]) +
                               (select.columnTypes[i].isString()
                                    ? QStringLiteral(" COLLATE Thai_CI_AS")
                                : select.columnTypes[i].isDateTime()
                                    ? QStringLiteral(" COLLATE TSQL_DateTime")
                                    : QString());
            }
            const QString sqlName =
                (temporary ? QStringLiteral("temp.") : QStringLiteral("main.")) + quoted(name);
            CompiledStatement create;
            create.sql = QStringLiteral("CREATE TABLE %1 (%2)")
                             .arg(sqlName, columns.join(QStringLiteral(", ")))
                             .toUtf8();
            CompiledStatement insert;
            insert.sql = QStringLiteral("INSERT INTO %1 %2")
                             .arg(sqlName, QString::fromUtf8(select.sql))
                             .toUtf8();
            insert.bindings = select.bindings;
            create.followUp.push_back(std::move(insert));
            create.changedTable = name;
            return create;
        });
        CompiledStatement insert = entry.statement.followUp.front();
        CompiledEntry create;
        create.statement.sql = entry.statement.sql;
        execute(create, frame, false);
        catalog_.invalidate();
        if (first.into.object().startsWith('#') && frame.depth > 0)
            frame.tempTables << first.into.object();
        CompiledEntry fill;
        fill.statement = insert;
        qint64 changes = 0;
        execute(fill, frame, false, &changes);
        rowCount_ = changes;
        lastError_ = 0;
        return Flow::Next;
    }
    CompiledEntry& entry = compiled(statement, frame, 0, [&](StatementCompiler& compiler) {
        return compiler.select(statement);
    });
    auto rows = execute(entry, frame, true);
    rowCount_ = qint64(rows.size());
    lastError_ = 0;
    const CompiledStatement& compiledStatement = entry.statement;
    if (!compiledStatement.assignments.isEmpty()) {
        // Each row assigns in turn: the last one stays.
        for (const auto& row : rows) {
            for (int i = 0; i < compiledStatement.assignments.size(); ++i)
                assign(frame, compiledStatement.assignments[i], row[std::size_t(i)],
                       statement.line);
        }
        return Flow::Next;
    }
    if (results == nullptr)
        return Flow::Next;
    if (results->collect) {
        if (results->types.empty())
            results->types = compiledStatement.columnTypes;
        for (auto& row : rows)
            results->rows.push_back(std::move(row));
        return Flow::Next;
    }
    if (!results->first) {
        ResultSet set;
        set.columns = compiledStatement.columnNames;
        set.rows.reserve(rows.size());
        for (const auto& row : rows) {
            QVariantList values;
            values.reserve(qsizetype(row.size()));
            for (const TsqlValue& value : row)
                values << clientValue(value);
            set.rows.push_back(std::move(values));
        }
        results->first = std::move(set);
    }
    return Flow::Next;
}

void Interpreter::runInsert(const InsertStatement& statement, Frame& frame) {
    if (statement.target.object().startsWith('@'))
        frame.usedTableVariables << statement.target.object().toLower();
    if (statement.exec) {
        // Insert ... Exec: the rows of the procedure's results.
        Results collected;
        collected.collect = true;
        runStatement(*statement.exec, frame, &collected);
        if (collected.rows.empty()) {
            rowCount_ = 0;
            return;
        }
        CompiledEntry& entry = compiled(statement, frame, 1, [&](StatementCompiler& compiler) {
            return compiler.insertRows(statement, collected.types);
        });
        qint64 total = 0;
        for (const auto& row : collected.rows) {
            frame.rowValues = &row;
            qint64 changes = 0;
            try {
                execute(entry, frame, false, &changes);
            } catch (...) {
                frame.rowValues = nullptr;
                throw;
            }
            frame.rowValues = nullptr;
            total += changes;
        }
        rowCount_ = total;
        return;
    }
    CompiledEntry& entry = compiled(statement, frame, 0, [&](StatementCompiler& compiler) {
        return compiler.insert(statement);
    });
    qint64 changes = 0;
    execute(entry, frame, false, &changes);
    rowCount_ = changes;
}

QString Interpreter::tableVariableName(const Frame& frame, const QString& variable) const {
    return QStringLiteral("%1#%2#%3").arg(variable, frame.procedure).arg(frame.depth);
}

void Interpreter::runDeclare(const DeclareStatement& statement, Frame& frame) {
    for (const VariableDeclaration& declaration : statement.variables) {
        const QString key = declaration.name.toLower();
        if (declaration.isTable) {
            if (frame.tables.contains(key))
                continue;
            const QString instance = tableVariableName(frame, declaration.name);
            const QString sqlName = QStringLiteral("temp.") + quoted(instance);
            const int index = int(&declaration - statement.variables.data());
            const CompiledStatement& create =
                compiled(statement, frame, -1 - index, [&](StatementCompiler& compiler) {
                    return compiler.createTableVariable(declaration, sqlName);
                }).statement;
            const QString shape = QString::fromUtf8(create.sql);
            const auto known = tableVariableShapes_.constFind(instance);
            // A table a rolled-back transaction made is gone again.
            const bool exists = catalog_.table(instance, true) != nullptr;
            // Each Declare numbers an identity column from its seed again.
            const auto identity =
                std::find_if(declaration.columns.begin(), declaration.columns.end(),
                             [](const ColumnDefinition& column) { return column.identity; });
            const auto numberFromSeed = [&] {
                if (identity == declaration.columns.end())
                    return;
                catalog_.addIdentity(instance, true,
                                     {identity->name, identity->identitySeed,
                                      identity->identityIncrement, std::nullopt});
                identitiesGiven_.remove(sqlName);
            };
            if (!exists || known == tableVariableShapes_.cend() || known.value() != shape) {
                // A table of an earlier shape, or one this connection no longer knows of (a
                // transaction rolled back around its Declare), is made again.
                executeSql("DROP TABLE IF EXISTS " + sqlName.toUtf8());
                executeSql(create.sql);
                catalog_.dropIdentity(instance, true);
                numberFromSeed();
                tableVariableShapes_.insert(instance, shape);
                catalog_.invalidate();
            } else {
                // The instance is used again: rows of an earlier call that failed go first.
                executeSql("DELETE FROM " + sqlName.toUtf8());
                numberFromSeed();
            }
            const TableInfo* table = catalog_.table(instance, true);
            if (table == nullptr)
                fail(0, QStringLiteral("The table variable %1 could not be made.")
                            .arg(declaration.name));
            TableVariable variable;
            variable.info = *table;
            variable.info.name = declaration.name;
            frame.tables.insert(key, variable);
            continue;
        }
        if (!frame.variables.contains(key))
            declareVariable(declaration, frame);
        if (declaration.initialValue) {
            const TsqlValue value = scalarValue(*declaration.initialValue, frame, statement,
                                                int(&declaration - statement.variables.data()));
            assign(frame, declaration.name, value, statement.line);
        }
    }
}

Variable& Interpreter::declareVariable(const VariableDeclaration& declaration, Frame& frame) {
    auto& [generation, type] = frame.unit->declaredTypes[&declaration];
    if (generation != catalog_.generation()) {
        type.reset();
        if (declaration.type.arguments.isEmpty())
            type = catalog_.userType(declaration.type.name);
        if (!type)
            type = SqlType::fromDeclaration(declaration.type.name, declaration.type.arguments);
        if (type)
            generation = catalog_.generation();
    }
    if (!type)
        fail(2715,
             QStringLiteral("Column, parameter, or variable #1: Cannot find data type %1.")
                 .arg(declaration.type.name),
             ErrorScope::Batch);
    SqlType variableType = *type;
    if (!declaration.type.collation.isEmpty() && variableType.isString()) {
        const QString lower = declaration.type.collation.toLower();
        variableType.collation =
            lower.contains(QLatin1String("_bin")) || lower.contains(QLatin1String("_cs"))
                ? Collation::Binary
                : Collation::CaseInsensitive;
    }
    return frame.variables
        .insert(declaration.name.toLower(), Variable{variableType, TsqlValue::null(variableType)})
        .value();
}

namespace {

// The scalar variables a statement declares, its nested blocks included.
void collectDeclarations(const Statement& statement,
                         QHash<QString, const VariableDeclaration*>& declarations) {
    const auto all = [&](const StatementList& statements) {
        for (const auto& item : statements)
            collectDeclarations(*item, declarations);
    };
    switch (statement.kind) {
    case StatementKind::Declare:
        for (const VariableDeclaration& variable :
             static_cast<const DeclareStatement&>(statement).variables) {
            if (!variable.isTable)
                declarations.insert(variable.name.toLower(), &variable);
        }
        return;
    case StatementKind::Block:
        all(static_cast<const BlockStatement&>(statement).statements);
        return;
    case StatementKind::If: {
        const auto& branch = static_cast<const IfStatement&>(statement);
        collectDeclarations(*branch.then, declarations);
        if (branch.otherwise)
            collectDeclarations(*branch.otherwise, declarations);
        return;
    }
    case StatementKind::While:
        collectDeclarations(*static_cast<const WhileStatement&>(statement).body, declarations);
        return;
    case StatementKind::TryCatch: {
        const auto& block = static_cast<const TryCatchStatement&>(statement);
        all(block.tryBlock);
        all(block.catchBlock);
        return;
    }
    default:
        return;
    }
}

} // namespace

Variable* Interpreter::findVariable(Frame& frame, const QString& key) {
    const auto found = frame.variables.find(key);
    if (found != frame.variables.end())
        return &found.value();
    // A Declare that did not run (in a branch not taken, a loop not entered, a Catch block
    // without an error) still declares its variable for the rest of the batch or procedure,
    // as NULL: declarations belong to the text, not to the run.
    Unit& unit = *frame.unit;
    if (!unit.declarations) {
        unit.declarations.emplace();
        for (const auto& statement : unit.statements())
            collectDeclarations(*statement, *unit.declarations);
    }
    const auto declared = unit.declarations->constFind(key);
    if (declared == unit.declarations->cend())
        return nullptr;
    return &declareVariable(*declared.value(), frame);
}

void Interpreter::runSetVariable(const SetVariableStatement& statement, Frame& frame) {
    TsqlValue value = scalarValue(*statement.value, frame, statement, 0);
    if (statement.op != QLatin1String("=")) {
        const Variable* found = findVariable(frame, statement.variable.toLower());
        if (found == nullptr)
            fail(137,
                 QStringLiteral("Must declare the scalar variable \"%1\".").arg(statement.variable),
                 ErrorScope::Batch, 15);
        value = arithmetic(statement.op.at(0).toLatin1(), found->value, value);
    }
    assign(frame, statement.variable, value, statement.line);
    rowCount_ = 1;
}

void Interpreter::assign(Frame& frame, const QString& variable, const TsqlValue& value, int) {
    Variable* found = findVariable(frame, variable.toLower());
    if (found == nullptr)
        fail(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(variable),
             ErrorScope::Batch, 15);
    found->value = convertImplicitly(value, found->type, Assignment::Variable);
}

void Interpreter::runSetOption(const SetOptionStatement& statement, Frame& frame) {
    const QString& option = statement.option;
    const bool on = statement.value == QLatin1String("ON");
    if (option == QLatin1String("XACT_ABORT")) {
        frame.xactAbort = on;
        return;
    }
    if (option == QLatin1String("IDENTITY_INSERT")) {
        const TableInfo* table =
            catalog_.table(statement.table.object(), statement.table.object().startsWith('#'));
        if (table == nullptr)
            fail(208, QStringLiteral("Invalid object name '%1'.").arg(statement.table.text()));
        if (table->identityColumn() < 0)
            fail(8106,
                 QStringLiteral("Table '%1' does not have the identity property. Cannot perform "
                                "SET operation.")
                     .arg(table->name));
        if (on)
            identityInsert_.insert(table->name.toLower());
        else
            identityInsert_.remove(table->name.toLower());
        // Compiled inserts depend on it.
        catalog_.invalidate();
        return;
    }
    // Checked when the text was created; a procedure kept by an older engine is checked here.
    DeclarationChecker::checkOption(statement);
}

Interpreter::Flow Interpreter::runExec(const ExecStatement& statement, Frame& frame,
                                       Results* results) {
    if (!statement.dynamicText.empty()) {
        QString text;
        for (const auto& piece : statement.dynamicText) {
            const TsqlValue value = evaluate(*piece, frame);
            if (!value.isNull())
                text += convert(value, SqlType::nVarChar(SqlType::maxLength)).asText();
        }
        // Dynamic SQL is a batch of its own, one level deeper, with none of the caller's
        // variables.
        auto unit = std::make_shared<Unit>();
        unit->batch = Parser::parseBatch(text);
        DeclarationChecker::check(unit->batch.statements, {});
        Frame inner;
        inner.caller = &frame;
        inner.unit = unit.get();
        inner.depth = frame.depth + 1;
        inner.procedure = frame.procedure;
        inner.xactAbort = frame.xactAbort;
        if (inner.depth > nestingLimit)
            fail(217,
                 QStringLiteral("Maximum stored procedure, function, trigger, or view nesting "
                                "level exceeded (limit 32)."),
                 ErrorScope::Batch);
        const FrameGuard guard(frames_, inner);
        try {
            runList(unit->statements(), inner, results);
        } catch (...) {
            leaveFrame(inner);
            throw;
        }
        leaveFrame(inner);
        return Flow::Next;
    }
    QString name = statement.procedure.object();
    if (!statement.procedureVariable.isEmpty()) {
        const Variable* found = findVariable(frame, statement.procedureVariable.toLower());
        if (found == nullptr || found->value.isNull())
            fail(2812, QStringLiteral("Could not find stored procedure ''."));
        name = convert(found->value, SqlType::nVarChar(776)).asText();
        name = name.section('.', -1);
        name.remove('[').remove(']');
    }
    // SQL Server's own procedures the engine has.
    if (name.compare(QLatin1String("sp_executesql"), Qt::CaseInsensitive) == 0)
        return runExecuteSql(statement, frame, results);
    if (name.compare(QLatin1String("sp_rename"), Qt::CaseInsensitive) == 0) {
        runRename(statement, frame);
        return Flow::Next;
    }
    const auto unit = procedureUnit(name);
    if (!unit)
        fail(2812, QStringLiteral("Could not find stored procedure '%1'.").arg(name));
    const auto& parameters = unit->procedure->definition->parameters;
    std::vector<CallArgument> arguments;
    std::size_t position = 0;
    bool named = false;
    for (const ExecArgument& given : statement.arguments) {
        CallArgument argument;
        argument.parameter = given.parameter;
        if (argument.parameter.isEmpty()) {
            if (named)
                fail(119,
                     QStringLiteral("Must pass parameter number %1 and subsequent parameters as "
                                    "'@name = value'. After the form '@name = value' has been "
                                    "used, all subsequent parameters must be passed in the form "
                                    "'@name = value'.")
                         .arg(position + 1));
            if (position >= parameters.size())
                fail(8144, QStringLiteral("Procedure or function %1 has too many arguments "
                                          "specified.")
                               .arg(unit->procedure->name));
            argument.parameter = parameters[position].name;
        } else {
            named = true;
        }
        ++position;
        if (!given.isDefault)
            argument.value = evaluate(*given.value, frame);
        argument.output = given.output;
        if (given.output)
            argument.callerVariable = given.value->name.object();
        arguments.push_back(std::move(argument));
    }
    const int result = runProcedure(unit, frame, arguments, results);
    if (!statement.returnVariable.isEmpty())
        assign(frame, statement.returnVariable, TsqlValue::integer(result), statement.line);
    // The caller's output variables get the parameters' values.
    for (const CallArgument& argument : arguments) {
        if (argument.output && argument.value)
            assign(frame, argument.callerVariable, *argument.value, statement.line);
    }
    lastError_ = 0;
    return Flow::Next;
}

Interpreter::Flow Interpreter::runExecuteSql(const ExecStatement& statement, Frame& frame,
                                             Results* results) {
    // sp_executesql @stmt [, @params [, @p1 = v1 ...]]: the text runs as a procedure of its own
    // whose parameters the second argument declares.
    if (statement.arguments.empty() || statement.arguments[0].isDefault)
        fail(201, QStringLiteral("Procedure or function 'sp_executesql' expects parameter "
                                 "'@statement', which was not supplied."));
    const TsqlValue text = evaluate(*statement.arguments[0].value, frame);
    QString declarations;
    if (statement.arguments.size() > 1 && !statement.arguments[1].isDefault) {
        const TsqlValue value = evaluate(*statement.arguments[1].value, frame);
        if (!value.isNull())
            declarations = convert(value, SqlType::nVarChar(SqlType::maxLength)).asText();
    }
    const QString body =
        text.isNull() ? QString() : convert(text, SqlType::nVarChar(SqlType::maxLength)).asText();
    auto procedure = std::make_shared<StoredProcedure>();
    procedure->name = QStringLiteral("sp_executesql");
    Batch batch = Parser::parseBatch(
        QStringLiteral("Create Procedure sp_executesql %1 As\n%2").arg(declarations, body));
    procedure->definition.reset(
        static_cast<CreateProcedureStatement*>(batch.statements.front().release()));
    QStringList parameters;
    for (const auto& parameter : procedure->definition->parameters)
        parameters << parameter.name;
    DeclarationChecker::check(procedure->definition->body, parameters);
    auto unit = std::make_shared<Unit>();
    unit->procedure = procedure;
    std::vector<CallArgument> arguments;
    const auto& declared = procedure->definition->parameters;
    for (std::size_t i = 2; i < statement.arguments.size(); ++i) {
        const ExecArgument& given = statement.arguments[i];
        CallArgument argument;
        argument.parameter = !given.parameter.isEmpty() ? given.parameter
                             : i - 2 < declared.size()  ? declared[i - 2].name
                                                        : QString();
        if (argument.parameter.isEmpty())
            fail(8144, QStringLiteral("Procedure or function sp_executesql has too many arguments "
                                      "specified."));
        if (!given.isDefault)
            argument.value = evaluate(*given.value, frame);
        argument.output = given.output;
        if (given.output)
            argument.callerVariable = given.value->name.object();
        arguments.push_back(std::move(argument));
    }
    runProcedure(unit, frame, arguments, results);
    for (const CallArgument& argument : arguments) {
        if (argument.output && argument.value)
            assign(frame, argument.callerVariable, *argument.value, statement.line);
    }
    return Flow::Next;
}

void Interpreter::runRename(const ExecStatement& statement, Frame& frame) {
    // sp_rename 'Table', 'NewName' and sp_rename 'Table.Column', 'NewName', 'COLUMN'.
    std::vector<QString> values;
    for (const ExecArgument& argument : statement.arguments) {
        const TsqlValue value = argument.isDefault ? TsqlValue() : evaluate(*argument.value, frame);
        values.push_back(value.isNull() ? QString()
                                        : convert(value, SqlType::nVarChar(1035)).asText());
    }
    if (values.size() < 2 || values[0].isEmpty() || values[1].isEmpty())
        fail(15248, QStringLiteral("Either the parameter @objname is ambiguous or the claimed "
                                   "@objtype () is wrong."));
    const QString kind = values.size() > 2 ? values[2].trimmed().toUpper() : QString();
    checkWritable(statement);
    if (kind == QLatin1String("COLUMN")) {
        const QString table = values[0].section('.', -2, -2).remove('[').remove(']');
        const QString column = values[0].section('.', -1).remove('[').remove(']');
        const TableInfo* info = catalog_.table(table, table.startsWith('#'));
        if (info == nullptr || info->column(column) == nullptr)
            fail(15248, QStringLiteral("Either the parameter @objname is ambiguous or the claimed "
                                       "@objtype (COLUMN) is wrong."));
        executeSql(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                       .arg(info->sqlName, quoted(info->column(column)->name), quoted(values[1]))
                       .toUtf8());
    } else if (kind.isEmpty() || kind == QLatin1String("OBJECT")) {
        const QString table = values[0].section('.', -1).remove('[').remove(']');
        const TableInfo* info = catalog_.table(table, table.startsWith('#'));
        if (info == nullptr || info->view)
            fail(15248, QStringLiteral("Either the parameter @objname is ambiguous or the claimed "
                                       "@objtype (%1) is wrong.")
                            .arg(kind));
        const QString oldName = info->name;
        const bool temporary = info->temporary;
        executeSql(QStringLiteral("ALTER TABLE %1 RENAME TO %2")
                       .arg(info->sqlName, quoted(values[1]))
                       .toUtf8());
        catalog_.renameIdentity(oldName, values[1], temporary);
    } else {
        fail(40000, QStringLiteral("The embedded engine renames tables and columns only."));
    }
    catalog_.invalidate();
}

int Interpreter::runProcedure(const std::shared_ptr<Unit>& unit, Frame& caller,
                              std::vector<CallArgument>& arguments, Results* results) {
    if (caller.depth + 1 > nestingLimit)
        fail(217,
             QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level "
                            "exceeded (limit 32)."),
             ErrorScope::Batch);
    const StoredProcedure& procedure = *unit->procedure;
    const CreateProcedureStatement& definition = *procedure.definition;
    const auto parameterOf = [&](const QString& name) -> const ProcedureParameterDefinition* {
        for (const auto& parameter : definition.parameters) {
            if (parameter.name.compare(name, Qt::CaseInsensitive) == 0)
                return &parameter;
        }
        return nullptr;
    };
    for (const CallArgument& argument : arguments) {
        const ProcedureParameterDefinition* parameter = parameterOf(argument.parameter);
        if (parameter == nullptr)
            fail(8145, QStringLiteral("%1 is not a parameter for procedure %2.")
                           .arg(argument.parameter, procedure.name));
        if (argument.output && !parameter->output)
            fail(8162,
                 QStringLiteral("The formal parameter \"%1\" was not declared as an OUTPUT "
                                "parameter, but the actual parameter passed in requested output.")
                     .arg(parameter->name));
    }

    Frame frame;
    frame.caller = &caller;
    frame.unit = unit.get();
    frame.depth = caller.depth + 1;
    frame.procedure = procedure.name;
    frame.xactAbort = caller.xactAbort;
    // Parameters: the arguments given, or their defaults.
    for (const auto& parameter : definition.parameters) {
        std::optional<SqlType> type;
        if (parameter.type.arguments.isEmpty())
            type = catalog_.userType(parameter.type.name);
        if (!type)
            type = SqlType::fromDeclaration(parameter.type.name, parameter.type.arguments);
        if (!type)
            fail(2715,
                 QStringLiteral("Column, parameter, or variable #1: Cannot find data type "
                                "%1.")
                     .arg(parameter.type.name),
                 ErrorScope::Batch);
        const CallArgument* given = nullptr;
        for (const CallArgument& argument : arguments) {
            if (argument.value &&
                argument.parameter.compare(parameter.name, Qt::CaseInsensitive) == 0)
                given = &argument;
        }
        TsqlValue value;
        if (given != nullptr) {
            try {
                value = convertImplicitly(*given->value, *type, Assignment::Variable);
            } catch (const TsqlError& error) {
                // An argument that does not convert is reported as the call's conversion.
                if (error.number() != 245 && error.number() != 241)
                    throw;
                throw TsqlError::conversionError(given->value->type().baseName(), type->baseName());
            }
        } else if (parameter.defaultValue) {
            value = convertImplicitly(evaluate(*parameter.defaultValue, frame), *type,
                                      Assignment::Variable);
        } else {
            // Output parameters too: only a default makes a parameter optional.
            fail(201, QStringLiteral("Procedure or function '%1' expects parameter '%2', which "
                                     "was not supplied.")
                          .arg(procedure.name, parameter.name));
        }
        frame.variables.insert(parameter.name.toLower(), Variable{*type, value});
    }

    const int tranCountBefore = tranCount_;
    const FrameGuard guard(frames_, frame);
    struct Leave {
        Interpreter& interpreter;
        Frame& frame;
        ~Leave() { interpreter.leaveFrame(frame); }
    } leave{*this, frame};
    runList(definition.body, frame, results);

    // Output parameters go back to the arguments that asked for them.
    for (CallArgument& argument : arguments) {
        if (!argument.output)
            continue;
        const auto found = frame.variables.constFind(argument.parameter.toLower());
        if (found != frame.variables.cend())
            argument.value = found.value().value;
    }
    if (tranCount_ != tranCountBefore && !doomed_)
        pendingErrors_.emplace_back(266,
                                    QStringLiteral("Transaction count after EXECUTE indicates a "
                                                   "mismatching number of BEGIN and COMMIT "
                                                   "statements. Previous count = %1, current "
                                                   "count = %2.")
                                        .arg(tranCountBefore)
                                        .arg(tranCount_));
    return frame.returnValue;
}

int Interpreter::callProcedure(const QString& name, std::vector<ProcedureParam>& params) {
    catalog_.refreshIfChanged();
    QString procedureName = name.trimmed();
    const int group = int(procedureName.lastIndexOf(';'));
    if (group > 0)
        procedureName.truncate(group);
    procedureName = procedureName.section('.', -1);
    procedureName.remove('[').remove(']');
    const auto unit = procedureUnit(procedureName);
    if (!unit)
        throw TsqlError(2812, QStringLiteral("Could not find stored procedure '%1'.").arg(name))
            .toDatabaseError();

    std::vector<CallArgument> arguments;
    for (const ProcedureParam& param : params) {
        if (param.kind == ParamKind::Result)
            continue;
        CallArgument argument;
        argument.parameter = param.name;
        argument.output = param.kind == ParamKind::Output || param.kind == ParamKind::InputOutput;
        const SqlValue value{param.type, param.value};
        // An output the caller gave no value starts as NULL, as on SQL Server.
        if (param.kind != ParamKind::Output || !value.isNull())
            argument.value = markerValue(value, markerTypeOf(value));
        else
            argument.value = TsqlValue();
        arguments.push_back(std::move(argument));
    }
    Frame top;
    top.unit = unit.get();
    pendingErrors_.clear();
    Results results;
    int result = 0;
    try {
        result = runProcedure(unit, top, arguments, &results);
    } catch (TsqlError& error) {
        if (doomed_)
            rollbackTransaction();
        std::vector<TsqlError> errors = std::move(pendingErrors_);
        pendingErrors_.clear();
        errors.push_back(error);
        throw reported(errors);
    }
    if (!pendingErrors_.empty()) {
        std::vector<TsqlError> errors = std::move(pendingErrors_);
        pendingErrors_.clear();
        throw reported(errors);
    }
    for (ProcedureParam& param : params) {
        if (param.kind == ParamKind::Result) {
            param.value = result;
            continue;
        }
        if (param.kind != ParamKind::Output && param.kind != ParamKind::InputOutput)
            continue;
        for (const CallArgument& argument : arguments) {
            if (argument.value && argument.parameter.compare(param.name, Qt::CaseInsensitive) == 0)
                param.value = outputValue(*argument.value, param.type);
        }
    }
    return result;
}

std::vector<ProcedureParameter> Interpreter::procedureParameters(const QString& name) {
    catalog_.refreshIfChanged();
    const auto procedure = catalog_.procedure(name.section('.', -1).remove('[').remove(']'));
    if (!procedure)
        throw TsqlError(2812, QStringLiteral("Could not find stored procedure '%1'.").arg(name))
            .toDatabaseError();
    // Types as SQL Server's catalog names them: a user type by its base type.
    std::vector<ProcedureParameter> parameters;
    for (const auto& parameter : procedure->definition->parameters) {
        std::optional<SqlType> type;
        if (parameter.type.arguments.isEmpty())
            type = catalog_.userType(parameter.type.name);
        if (!type)
            type = SqlType::fromDeclaration(parameter.type.name, parameter.type.arguments);
        parameters.push_back(
            {parameter.name, type ? type->name() : typeText(parameter.type), parameter.output});
    }
    return parameters;
}

Interpreter::Flow Interpreter::runTryCatch(const TryCatchStatement& statement, Frame& frame,
                                           Results* results) {
    ++tryDepth_;
    try {
        const Flow flow = runList(statement.tryBlock, frame, results);
        --tryDepth_;
        return flow;
    } catch (TsqlError& error) {
        --tryDepth_;
        syncTransactionState();
        frame.caught.push_back(error);
        struct Pop {
            Frame& frame;
            ~Pop() { frame.caught.pop_back(); }
        } pop{frame};
        return runList(statement.catchBlock, frame, results);
    }
}

void Interpreter::runThrow(const SimpleStatement& statement, Frame& frame) {
    if (statement.arguments.empty()) {
        for (Frame* f = &frame; f != nullptr; f = f->caller) {
            if (!f->caught.empty()) {
                const TsqlError& caught = f->caught.back();
                TsqlError error(caught.number(), caught.message(), caught.severity(),
                                caught.state(), ErrorScope::Batch);
                error.setPlace(caught.procedure(), caught.line());
                throw error;
            }
        }
        fail(10704,
             QStringLiteral("To rethrow an error, a THROW statement must be used inside a CATCH "
                            "block."),
             ErrorScope::Batch);
    }
    const TsqlValue number = convert(evaluate(*statement.arguments[0], frame), SqlType::integer());
    const TsqlValue message =
        convert(evaluate(*statement.arguments[1], frame), SqlType::nVarChar(2048));
    const TsqlValue state = convert(evaluate(*statement.arguments[2], frame), SqlType::tinyInt());
    if (number.isNull() || number.asInteger() < 50000)
        fail(35100,
             QStringLiteral("Error number %1 in the THROW statement is outside the valid range. "
                            "Specify an error number in the valid range of 50000 to 2147483647.")
                 .arg(number.isNull() ? 0 : number.asInteger()));
    throw TsqlError(int(number.asInteger()), message.isNull() ? QString() : message.asText(), 16,
                    state.isNull() ? 1 : int(state.asInteger()), ErrorScope::Batch);
}

void Interpreter::runRaisError(const RaisErrorStatement& statement, Frame& frame) {
    const TsqlValue message = evaluate(*statement.message, frame);
    const int severity =
        int(convert(evaluate(*statement.severity, frame), SqlType::integer()).asInteger());
    const int state =
        int(convert(evaluate(*statement.state, frame), SqlType::integer()).asInteger());
    std::vector<TsqlValue> arguments;
    for (const auto& argument : statement.arguments)
        arguments.push_back(evaluate(*argument, frame));
    int number = 50000;
    QString text;
    if (message.type().isString()) {
        text = formatMessage(message.isNull() ? QString() : message.asText(), arguments);
    } else {
        number = message.isNull() ? 0 : int(convert(message, SqlType::integer()).asInteger());
        if (number < 13000 || number == 50000)
            fail(2732, QStringLiteral("Error number %1 is invalid. The number must be from 13000 "
                                      "through 2147483647 and it cannot be 50000.")
                           .arg(number));
        text = QStringLiteral("Error %1, severity %2, state %3 was raised, but no message with "
                              "that error number was found in sys.messages. If error is larger "
                              "than 50000, make sure the user-defined message is added using "
                              "sp_addmessage.")
                   .arg(number)
                   .arg(severity)
                   .arg(state);
    }
    if (statement.setError)
        lastError_ = number;
    // Severities up to 10 are messages, not errors.
    if (severity <= 10)
        return;
    throw TsqlError(number, text, qMin(severity, 25), state,
                    severity >= 20 ? ErrorScope::Batch : ErrorScope::Statement);
}

// ---- transactions ----------------------------------------------------------------------------

void Interpreter::syncTransactionState() {
    // SQLite may have ended the transaction by itself (a full disk, a broken file).
    if (tranCount_ > 0 && sqlite3_get_autocommit(database_) != 0) {
        tranCount_ = 0;
        doomed_ = false;
        savepoints_.clear();
    }
}

void Interpreter::beginTransaction() {
    // SQLite cannot wait for another connection's lock in a transaction that has read already:
    // its first write would fail at once. The transaction takes the write lock when it begins,
    // waiting for it as a single statement does.
    if (tranCount_ == 0)
        executeSql("BEGIN IMMEDIATE");
    ++tranCount_;
}

void Interpreter::commitTransaction() {
    if (tranCount_ == 0)
        fail(3902, QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN "
                                  "TRANSACTION."));
    if (doomed_)
        fail(3930, QStringLiteral("The current transaction cannot be committed and cannot support "
                                  "operations that write to the log file. Roll back the "
                                  "transaction."));
    if (tranCount_ == 1) {
        executeSql("COMMIT");
        savepoints_.clear();
    }
    --tranCount_;
}

struct Interpreter::TableVariableRows {
    QString sqlName;
    QString instance; // as the catalog names it
    QByteArray create;
    std::optional<Catalog::Identity> identity;
    std::vector<std::vector<sqlite3_value*>> rows;

    TableVariableRows() = default;
    TableVariableRows(TableVariableRows&& other) noexcept = default;
    TableVariableRows& operator=(TableVariableRows&&) noexcept = default;
    TableVariableRows(const TableVariableRows&) = delete;
    TableVariableRows& operator=(const TableVariableRows&) = delete;
    ~TableVariableRows() {
        for (auto& row : rows) {
            for (sqlite3_value* value : row)
                sqlite3_value_free(value);
        }
    }
};

std::vector<Interpreter::TableVariableRows> Interpreter::saveTableVariables() {
    std::vector<TableVariableRows> saved;
    for (Frame* frame : frames_) {
        for (auto it = frame->tables.cbegin(); it != frame->tables.cend(); ++it) {
            TableVariableRows table;
            table.sqlName = it.value().info.sqlName;
            table.instance = it.value().info.catalogName();
            table.create = tableVariableShapes_.value(table.instance).toUtf8();
            table.identity = catalog_.identity(table.instance, true);
            sqlite3_stmt* select = nullptr;
            const QByteArray sql = "SELECT * FROM " + table.sqlName.toUtf8();
            if (sqlite3_prepare_v2(database_, sql.constData(), -1, &select, nullptr) != SQLITE_OK) {
                sqlite3_finalize(select);
                continue;
            }
            while (sqlite3_step(select) == SQLITE_ROW) {
                std::vector<sqlite3_value*> row;
                for (int c = 0; c < sqlite3_column_count(select); ++c)
                    row.push_back(sqlite3_value_dup(sqlite3_column_value(select, c)));
                table.rows.push_back(std::move(row));
            }
            sqlite3_finalize(select);
            saved.push_back(std::move(table));
        }
    }
    return saved;
}

void Interpreter::restoreTableVariables(const std::vector<TableVariableRows>& saved) {
    for (const TableVariableRows& table : saved) {
        // The table may have been made inside the transaction, and gone with it.
        if (!table.create.isEmpty())
            executeSql(QByteArray(table.create)
                           .replace("CREATE TEMP TABLE ", "CREATE TEMP TABLE IF NOT EXISTS "));
        // So is its numbering, which goes on where it was.
        if (table.identity) {
            catalog_.addIdentity(table.instance, true, *table.identity);
            catalog_.setIdentityCurrent(table.instance, true, table.identity->current);
        }
        executeSql("DELETE FROM " + table.sqlName.toUtf8());
        for (const auto& row : table.rows) {
            QStringList markers;
            for (std::size_t i = 0; i < row.size(); ++i)
                markers << QStringLiteral("?");
            const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                       .arg(table.sqlName, markers.join(','))
                                       .toUtf8();
            auto insert = statements_.statement(database_, sql);
            sqlite3_stmt* handle = insert->handle();
            StatementReset reset(handle);
            for (std::size_t i = 0; i < row.size(); ++i)
                sqlite3_bind_value(handle, int(i) + 1, row[i]);
            sqlite3_step(handle);
        }
    }
}

void Interpreter::rollbackTransaction() {
    std::vector<TableVariableRows> saved;
    if (sqlite3_get_autocommit(database_) == 0) {
        saved = saveTableVariables();
        executeSql("ROLLBACK");
    }
    tranCount_ = 0;
    doomed_ = false;
    savepoints_.clear();
    // The identity numbers given inside the transaction stay given.
    for (auto it = identitiesGiven_.cbegin(); it != identitiesGiven_.cend(); ++it) {
        const bool temporary = it.key().startsWith(QLatin1String("temp."));
        const QString table = it.key().section('.', 1).mid(1).chopped(1);
        const auto identity = catalog_.identity(table, temporary);
        if (identity && (!identity->current || *identity->current < it.value()))
            catalog_.setIdentityCurrent(table, temporary, it.value());
    }
    // What the transaction created is gone; what the catalog read of it too.
    catalog_.invalidate();
    restoreTableVariables(saved);
}

void Interpreter::runTransaction(const SimpleStatement& statement, Frame&) {
    syncTransactionState();
    switch (statement.kind) {
    case StatementKind::BeginTransaction:
        beginTransaction();
        if (tranCount_ == 1)
            transactionName_ = statement.name;
        return;
    case StatementKind::Commit:
        commitTransaction();
        return;
    case StatementKind::SaveTransaction:
        if (tranCount_ == 0)
            fail(628, QStringLiteral("Cannot issue SAVE TRANSACTION when there is no active "
                                     "transaction."));
        {
            // A rollback to a name goes to its most recent savepoint, so the one before it of the
            // same name, when nothing was saved since, can be merged into the transaction: a
            // procedure that saves under its name at every call keeps one savepoint, not one per
            // call, which SQLite would check on every write.
            const QString name = statement.name.toLower();
            if (!savepoints_.isEmpty() && savepoints_.last() == name) {
                executeSql("RELEASE " + quoted(name).toUtf8());
                savepoints_.removeLast();
            }
            executeSql("SAVEPOINT " + quoted(name).toUtf8());
            savepoints_.append(name);
            return;
        }
    case StatementKind::Rollback:
        if (!statement.name.isEmpty() && savepoints_.contains(statement.name.toLower()) &&
            statement.name.compare(transactionName_, Qt::CaseInsensitive) != 0) {
            if (doomed_)
                fail(3931, QStringLiteral("The current transaction cannot be committed and "
                                          "cannot be rolled back to a savepoint. Roll back the "
                                          "entire transaction."));
            const auto saved = saveTableVariables();
            executeSql("ROLLBACK TO " + quoted(statement.name.toLower()).toUtf8());
            // The savepoint stays; those saved after it are gone.
            savepoints_ = savepoints_.mid(0, savepoints_.lastIndexOf(statement.name.toLower()) + 1);
            catalog_.invalidate();
            restoreTableVariables(saved);
            return;
        }
        if (!statement.name.isEmpty() &&
            statement.name.compare(transactionName_, Qt::CaseInsensitive) != 0 && tranCount_ > 0)
            fail(6401, QStringLiteral("Cannot roll back %1. No transaction or savepoint of that "
                                      "name was found.")
                           .arg(statement.name));
        if (tranCount_ == 0)
            fail(3903, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding "
                                      "BEGIN TRANSACTION."));
        rollbackTransaction();
        savepoints_.clear();
        return;
    default:
        return;
    }
}

void Interpreter::checkWritable(const Statement& statement) {
    Q_UNUSED(statement);
    if (doomed_)
        fail(3930, QStringLiteral("The current transaction cannot be committed and cannot support "
                                  "operations that write to the log file. Roll back the "
                                  "transaction."));
}

// ---- cursors ---------------------------------------------------------------------------------

void Interpreter::runCursor(const Statement& statement, Frame& frame) {
    if (statement.kind == StatementKind::DeclareCursor) {
        const auto& declaration = static_cast<const DeclareCursorStatement&>(statement);
        const QString key = declaration.name.toLower();
        if (frame.cursors.contains(key))
            fail(16915, QStringLiteral("A cursor with the name '%1' already exists.")
                            .arg(declaration.name));
        Cursor cursor;
        cursor.declaration = &declaration;
        frame.cursors.insert(key, std::move(cursor));
        return;
    }
    const QString name = static_cast<const SimpleStatement&>(statement).name;
    const auto found = frame.cursors.find(name.toLower());
    if (found == frame.cursors.end())
        fail(16916, QStringLiteral("A cursor with the name '%1' does not exist.").arg(name));
    Cursor& cursor = found.value();
    switch (statement.kind) {
    case StatementKind::OpenCursor: {
        if (cursor.open)
            fail(16905, QStringLiteral("The cursor is already open."));
        // The rows are read now: the cursor is insensitive to later changes.
        CompiledEntry& entry =
            compiled(*cursor.declaration, frame, 0, [&](StatementCompiler& compiler) {
                return compiler.select(*cursor.declaration->query);
            });
        cursor.rows = execute(entry, frame, true);
        cursor.position = -1;
        cursor.open = true;
        rowCount_ = 0;
        return;
    }
    case StatementKind::CloseCursor:
        if (!cursor.open)
            fail(16917, QStringLiteral("Cursor is not open."));
        cursor.open = false;
        cursor.rows.clear();
        return;
    case StatementKind::DeallocateCursor:
        frame.cursors.erase(found);
        return;
    default:
        return;
    }
}

void Interpreter::runFetch(const FetchStatement& statement, Frame& frame) {
    const auto found = frame.cursors.find(statement.cursor.toLower());
    if (found == frame.cursors.end())
        fail(16916,
             QStringLiteral("A cursor with the name '%1' does not exist.").arg(statement.cursor));
    Cursor& cursor = found.value();
    if (!cursor.open)
        fail(16917, QStringLiteral("Cursor is not open."));
    const qsizetype count = qsizetype(cursor.rows.size());
    qsizetype target = cursor.position;
    if (statement.direction == QLatin1String("NEXT")) {
        target = cursor.position + 1;
    } else if (statement.direction == QLatin1String("PRIOR")) {
        target = cursor.position - 1;
    } else if (statement.direction == QLatin1String("FIRST")) {
        target = 0;
    } else if (statement.direction == QLatin1String("LAST")) {
        target = count - 1;
    } else {
        const qint64 offset =
            convert(evaluate(*statement.offset, frame), SqlType::bigInt()).asInteger();
        if (statement.direction == QLatin1String("ABSOLUTE"))
            target = offset > 0 ? offset - 1 : count + offset;
        else
            target = cursor.position + offset;
    }
    if (target < 0 || target >= count) {
        cursor.position = target < 0 ? -1 : count;
        fetchStatus_ = -1;
        return;
    }
    cursor.position = target;
    const auto& row = cursor.rows[std::size_t(target)];
    if (!statement.into.isEmpty()) {
        if (std::size_t(statement.into.size()) != row.size())
            fail(16924, QStringLiteral("Cursorfetch: The number of variables declared in the INTO "
                                       "list must match that of selected columns."));
        for (int i = 0; i < statement.into.size(); ++i)
            assign(frame, statement.into[i], row[std::size_t(i)], statement.line);
    }
    fetchStatus_ = 0;
    rowCount_ = 1;
}

// ---- schema ----------------------------------------------------------------------------------

void Interpreter::runSchema(const Statement& statement, Frame& frame) {
    FrameEnvironment environment(*this, frame);
    StatementCompiler compiler(environment);
    const auto run = [&](const CompiledStatement& compiled) {
        executeSql(compiled.sql);
        for (const CompiledStatement& step : compiled.followUp)
            executeSql(step.sql);
        catalog_.invalidate();
    };
    switch (statement.kind) {
    case StatementKind::CreateTable: {
        const auto& create = static_cast<const CreateTableStatement&>(statement);
        const QString name = create.name.object();
        const bool temporary = name.startsWith('#');
        if (catalog_.table(name, temporary) != nullptr ||
            (!temporary && catalog_.hasProcedure(name)))
            fail(
                2714,
                QStringLiteral("There is already an object named '%1' in the database.").arg(name));
        const QString sqlName =
            (temporary ? QStringLiteral("temp.") : QStringLiteral("main.")) + quoted(name);
        const CompiledStatement compiled = compiler.createTable(create, sqlName, temporary);
        run(compiled);
        for (const ColumnDefinition& column : create.columns) {
            if (column.identity)
                catalog_.addIdentity(
                    name, temporary,
                    {column.name, column.identitySeed, column.identityIncrement, std::nullopt});
        }
        if (temporary && frame.depth > 0)
            frame.tempTables << name;
        return;
    }
    case StatementKind::AlterTable:
        run(compiler.alterTable(static_cast<const AlterTableStatement&>(statement)));
        return;
    case StatementKind::CreateIndex:
        run(compiler.createIndex(static_cast<const CreateIndexStatement&>(statement)));
        return;
    case StatementKind::CreateView: {
        const auto& view = static_cast<const CreateViewStatement&>(statement);
        const QString name = view.name.object();
        if (view.alter) {
            if (catalog_.table(name) == nullptr)
                fail(208, QStringLiteral("Invalid object name '%1'.").arg(name));
            executeSql("DROP VIEW " + quoted(name).toUtf8());
        } else if (catalog_.table(name) != nullptr || catalog_.hasProcedure(name)) {
            fail(
                2714,
                QStringLiteral("There is already an object named '%1' in the database.").arg(name));
        }
        run(compiler.createView(view));
        return;
    }
    case StatementKind::CreateType: {
        const auto& create = static_cast<const CreateTypeStatement&>(statement);
        const auto base = SqlType::fromDeclaration(create.base.name, create.base.arguments);
        if (!base)
            fail(2715, QStringLiteral("Column, parameter, or variable #1: Cannot find data type "
                                      "%1.")
                           .arg(create.base.name));
        catalog_.createType(create.name.object(), *base, create.nullable != 0);
        return;
    }
    case StatementKind::CreateProcedure: {
        const auto& create = static_cast<const CreateProcedureStatement&>(statement);
        const QString name = create.name.object();
        QStringList parameters;
        for (const auto& parameter : create.parameters) {
            if (parameters.contains(parameter.name, Qt::CaseInsensitive))
                fail(134,
                     QStringLiteral("The variable name '%1' has already been declared. "
                                    "Variable names must be unique within a query batch or "
                                    "stored procedure.")
                         .arg(parameter.name),
                     ErrorScope::Batch);
            parameters << parameter.name;
            const bool known =
                (parameter.type.arguments.isEmpty() && catalog_.userType(parameter.type.name)) ||
                SqlType::fromDeclaration(parameter.type.name, parameter.type.arguments);
            if (!known)
                fail(2715,
                     QStringLiteral("Column, parameter, or variable #%1: Cannot find data type %2.")
                         .arg(parameters.size())
                         .arg(parameter.type.name),
                     ErrorScope::Batch);
        }
        DeclarationChecker::check(create.body, parameters);
        if (create.alter && !create.createOrAlter && !catalog_.hasProcedure(name))
            fail(208, QStringLiteral("Invalid object name '%1'.").arg(name));
        catalog_.storeProcedure(name, create.text, create.alter || create.createOrAlter);
        return;
    }
    case StatementKind::Drop: {
        const auto& drop = static_cast<const DropStatement&>(statement);
        for (std::size_t i = 0; i < drop.names.size(); ++i) {
            const QString name = drop.names[i].object();
            const QString& kind = drop.objectKind;
            if (kind == QLatin1String("PROCEDURE")) {
                if (drop.ifExists && !catalog_.hasProcedure(name))
                    continue;
                catalog_.dropProcedure(name);
                continue;
            }
            if (kind == QLatin1String("TYPE")) {
                if (drop.ifExists && !catalog_.userType(name))
                    continue;
                catalog_.dropType(name);
                continue;
            }
            if (kind == QLatin1String("INDEX")) {
                CompiledStatement sql;
                sql.sql =
                    QStringLiteral("DROP INDEX %1%2")
                        .arg(drop.ifExists ? QStringLiteral("IF EXISTS ") : QString(), quoted(name))
                        .toUtf8();
                run(sql);
                continue;
            }
            const bool temporary = name.startsWith('#');
            const TableInfo* table = catalog_.table(name, temporary);
            const bool view = kind == QLatin1String("VIEW");
            if (table == nullptr || table->view != view) {
                if (drop.ifExists)
                    continue;
                fail(3701, QStringLiteral("Cannot drop the %1 '%2', because it does not exist or "
                                          "you do not have permission.")
                               .arg(view ? QStringLiteral("view") : QStringLiteral("table"), name));
            }
            CompiledStatement sql;
            sql.sql =
                QStringLiteral("DROP %1 %2")
                    .arg(view ? QStringLiteral("VIEW") : QStringLiteral("TABLE"), table->sqlName)
                    .toUtf8();
            run(sql);
            catalog_.dropIdentity(table->name, temporary);
            identitiesGiven_.remove(table->sqlName);
            identityInsert_.remove(name.toLower());
        }
        return;
    }
    case StatementKind::Truncate: {
        const auto& truncate = static_cast<const TruncateStatement&>(statement);
        const QString name = truncate.table.object();
        const TableInfo* table = catalog_.table(name, name.startsWith('#'));
        if (table == nullptr || table->view)
            fail(4701, QStringLiteral("Cannot find the object \"%1\" because it does not exist or "
                                      "you do not have permissions.")
                           .arg(name));
        executeSql("DELETE FROM " + table->sqlName.toUtf8());
        // Truncate starts the numbering again at the seed.
        if (table->identityColumn() >= 0) {
            catalog_.setIdentityCurrent(table->name, table->temporary, std::nullopt);
            identitiesGiven_.remove(table->sqlName);
        }
        rowCount_ = 0;
        return;
    }
    case StatementKind::CreateDatabase:
    case StatementKind::DropDatabase: {
        const QString name = static_cast<const DatabaseStatement&>(statement).name;
        const auto& handler =
            statement.kind == StatementKind::CreateDatabase ? createDatabase : dropDatabase;
        if (!handler)
            fail(40000, QStringLiteral("Create Database and Drop Database run on master."));
        handler(name);
        return;
    }
    default:
        fail(40000, QStringLiteral("The embedded engine does not run this statement."));
    }
}

void Interpreter::leaveFrame(Frame& frame) noexcept {
    // Table variables keep their tables for the next call; their rows go. #temp tables made by
    // a procedure go with it.
    try {
        for (auto it = frame.tables.cbegin(); it != frame.tables.cend(); ++it) {
            if (frame.usedTableVariables.contains(it.key()))
                executeSql("DELETE FROM " + it.value().info.sqlName.toUtf8());
        }
        for (const QString& table : frame.tempTables) {
            executeSql("DROP TABLE IF EXISTS temp." + quoted(table).toUtf8());
            catalog_.invalidate();
        }
    } catch (...) {
        // A failed clean-up leaves rows that the next Declare of the variable deletes.
    }
    frame.tables.clear();
    frame.cursors.clear();
}

// ---- values ----------------------------------------------------------------------------------

TsqlValue Interpreter::sessionValue(const QString& name, Frame& frame) {
    const auto caught = [&]() -> const TsqlError* {
        for (Frame* f = &frame; f != nullptr; f = f->caller) {
            if (!f->caught.empty())
                return &f->caught.back();
        }
        return nullptr;
    };
    if (name == QLatin1String("@@ROWCOUNT"))
        return TsqlValue::integer(rowCount_);
    if (name == QLatin1String("@@ERROR"))
        return TsqlValue::integer(lastError_);
    if (name == QLatin1String("@@TRANCOUNT"))
        return TsqlValue::integer(tranCount_);
    if (name == QLatin1String("@@FETCH_STATUS"))
        return TsqlValue::integer(fetchStatus_);
    if (name == QLatin1String("@@IDENTITY"))
        return identity_.value_or(TsqlValue::null(SqlType::decimal(38, 0)));
    if (name == QLatin1String("SCOPE_IDENTITY"))
        return frame.scopeIdentity.value_or(TsqlValue::null(SqlType::decimal(38, 0)));
    if (name == QLatin1String("@@NESTLEVEL"))
        return TsqlValue::integer(frame.depth);
    if (name == QLatin1String("@@SPID"))
        return TsqlValue::integer(51, SqlType::smallInt());
    if (name == QLatin1String("@@PROCID"))
        return TsqlValue::integer(0);
    if (name == QLatin1String("@@DATEFIRST"))
        return TsqlValue::integer(7, SqlType::tinyInt());
    if (name == QLatin1String("@@MAX_PRECISION"))
        return TsqlValue::integer(38, SqlType::tinyInt());
    if (name == QLatin1String("@@VERSION"))
        return TsqlValue::text(QStringLiteral("stockcost embedded engine (SQLite %1)")
                                   .arg(QString::fromLatin1(sqlite3_libversion())),
                               SqlType::nVarChar(300));
    if (name == QLatin1String("@@SERVERNAME") || name == QLatin1String("@@SERVICENAME"))
        return TsqlValue::text(QStringLiteral("embedded"), SqlType::nVarChar(128));
    if (name == QLatin1String("@@LANGUAGE"))
        return TsqlValue::text(QStringLiteral("us_english"), SqlType::nVarChar(128));
    if (name == QLatin1String("XACT_STATE"))
        return TsqlValue::integer(doomed_ ? -1 : tranCount_ > 0 ? 1 : 0, SqlType::smallInt());
    if (name == QLatin1String("DB_NAME"))
        return TsqlValue::text(databaseName_, SqlType::nVarChar(128));
    if (name == QLatin1String("HOST_NAME") || name == QLatin1String("APP_NAME") ||
        name == QLatin1String("USER_NAME") || name == QLatin1String("SUSER_SNAME") ||
        name == QLatin1String("USER") || name == QLatin1String("SESSION_USER") ||
        name == QLatin1String("SYSTEM_USER") || name == QLatin1String("CURRENT_USER"))
        return TsqlValue::text(name == QLatin1String("APP_NAME") ? QStringLiteral("stockcost")
                                                                 : QStringLiteral("dbo"),
                               SqlType::nVarChar(128));
    const TsqlError* error = caught();
    if (name == QLatin1String("ERROR_MESSAGE"))
        return error ? TsqlValue::text(error->message(), SqlType::nVarChar(4000))
                     : TsqlValue::null(SqlType::nVarChar(4000));
    if (name == QLatin1String("ERROR_NUMBER"))
        return error ? TsqlValue::integer(error->number()) : TsqlValue::null(SqlType::integer());
    if (name == QLatin1String("ERROR_SEVERITY"))
        return error ? TsqlValue::integer(error->severity()) : TsqlValue::null(SqlType::integer());
    if (name == QLatin1String("ERROR_STATE"))
        return error ? TsqlValue::integer(error->state()) : TsqlValue::null(SqlType::integer());
    if (name == QLatin1String("ERROR_LINE"))
        return error ? TsqlValue::integer(error->line()) : TsqlValue::null(SqlType::integer());
    if (name == QLatin1String("ERROR_PROCEDURE"))
        return error && !error->procedure().isEmpty()
                   ? TsqlValue::text(error->procedure(), SqlType::nVarChar(128))
                   : TsqlValue::null(SqlType::nVarChar(128));
    fail(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name),
         ErrorScope::Batch, 15);
}

bool Interpreter::isSimple(const Expr& expression, Frame& frame) {
    auto& cache = frame.unit->simple;
    const auto found = cache.find(&expression);
    if (found != cache.end())
        return found->second;
    const bool simple = Evaluator::isSimple(expression);
    cache.emplace(&expression, simple);
    return simple;
}

TsqlValue Interpreter::evaluate(const Expr& expression, Frame& frame) {
    if (!isSimple(expression, frame)) {
        // Exec arguments and the like are constants and variables; anything else is SQLite's.
        FrameEnvironment environment(*this, frame);
        StatementCompiler compiler(environment);
        CompiledEntry entry;
        entry.statement = compiler.scalar(expression);
        const auto rows = execute(entry, frame, true);
        return rows.empty() ? TsqlValue() : rows.front().front();
    }
    FrameContext context(*this, frame);
    return Evaluator::evaluate(expression, context);
}

SqlType Interpreter::staticType(const Expr& expression, Frame& frame) {
    auto& cache = frame.unit->types;
    const auto found = cache.find(&expression);
    if (found != cache.end())
        return found->second;
    FrameEnvironment environment(*this, frame);
    StatementCompiler compiler(environment);
    const SqlType type = compiler.typeOf(expression);
    cache.emplace(&expression, type);
    return type;
}

TsqlValue Interpreter::scalarValue(const Expr& expression, Frame& frame, const Statement& owner,
                                   int part) {
    if (isSimple(expression, frame))
        return evaluate(expression, frame);
    CompiledEntry& entry = compiled(owner, frame, part, [&](StatementCompiler& compiler) {
        return compiler.scalar(expression);
    });
    const auto rows = execute(entry, frame, true);
    return rows.empty() ? TsqlValue::null(entry.statement.columnTypes.front())
                        : rows.front().front();
}

std::optional<bool> Interpreter::test(const Expr& condition, Frame& frame, const Statement& owner,
                                      int part) {
    if (isSimple(condition, frame)) {
        const TsqlValue value = evaluate(condition, frame);
        if (value.isNull())
            return std::nullopt;
        return value.asInteger() != 0;
    }
    CompiledEntry& entry = compiled(owner, frame, part + 100, [&](StatementCompiler& compiler) {
        return compiler.condition(condition);
    });
    const auto rows = execute(entry, frame, true);
    return !rows.empty() && !rows.front().front().isNull() && rows.front().front().asInteger() != 0;
}

} // namespace db::tsql

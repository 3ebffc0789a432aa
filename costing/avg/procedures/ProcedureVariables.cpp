#include "costing/avg/procedures/ProcedureVariables.h"

#include "db/DatabaseError.h"
#include "db/embedded/EmbeddedErrors.h"
#include "db/embedded/EmbeddedProcedureContext.h"

#include <QRegularExpression>

#include <cmath>
#include <mutex>

namespace costing {

namespace {

// A statement with its variables turned into '?' markers, and the variables in marker order;
// or, for "Set @Variable = expression", the variable and the expression.
struct BoundText {
    QString sql;
    QStringList names; // lower-case
    QString assigned;
    QString expression;
};

bool isNameStart(QChar c) {
    return c.isLetter() || c == '_';
}

bool isNamePart(QChar c) {
    return c.isLetterOrNumber() || c == '_';
}

BoundText bind(const QString& tsql) {
    BoundText bound;
    bound.sql.reserve(tsql.size());
    for (qsizetype i = 0; i < tsql.size(); ++i) {
        const QChar c = tsql[i];
        if (c == '\'') {
            // Quoted text stays as it is, doubled quotes included.
            const qsizetype end = tsql.indexOf('\'', i + 1);
            const qsizetype stop = end < 0 ? tsql.size() : end + 1;
            bound.sql += QStringView(tsql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == '-' && i + 1 < tsql.size() && tsql[i + 1] == '-') {
            const qsizetype end = tsql.indexOf('\n', i);
            const qsizetype stop = end < 0 ? tsql.size() : end;
            bound.sql += QStringView(tsql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == '@' && i + 1 < tsql.size() && isNameStart(tsql[i + 1])) {
            qsizetype end = i + 1;
            while (end < tsql.size() && isNamePart(tsql[end]))
                ++end;
            bound.names << tsql.mid(i, end - i).toLower();
            bound.sql += '?';
            i = end - 1;
        } else {
            bound.sql += c;
        }
    }
    return bound;
}

BoundText analyse(const QString& tsql) {
    static const QRegularExpression assignment(QStringLiteral(R"(^\s*Set\s+(@\w+)\s*=\s*(.*)$)"),
                                               QRegularExpression::CaseInsensitiveOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
    const auto match = assignment.match(tsql);
    if (!match.hasMatch())
        return bind(tsql);
    BoundText bound;
    bound.assigned = match.captured(1);
    bound.expression = match.captured(2).trimmed();
    return bound;
}

// The texts are fixed, so each is analysed once and kept.
BoundText boundText(const QString& tsql) {
    static std::mutex mutex;
    static QHash<QString, BoundText> texts;
    std::lock_guard lock(mutex);
    auto found = texts.find(tsql);
    if (found == texts.end())
        found = texts.insert(tsql, analyse(tsql));
    return found.value();
}

// The position of the parenthesis closing the one at open, quoted text skipped; -1 if none.
qsizetype closingParenthesis(const QString& text, qsizetype open) {
    int depth = 0;
    for (qsizetype i = open; i < text.size(); ++i) {
        if (text[i] == '\'') {
            i = text.indexOf('\'', i + 1);
            if (i < 0)
                return -1;
        } else if (text[i] == '(') {
            ++depth;
        } else if (text[i] == ')' && --depth == 0) {
            return i;
        }
    }
    return -1;
}

db::DataType typeOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return db::DataType::Integer;
    case QMetaType::Double:
        return db::DataType::Float;
    case QMetaType::QDateTime:
        return db::DataType::DateTime;
    case QMetaType::QString:
        return db::DataType::String;
    default:
        return db::DataType::Unknown;
    }
}

} // namespace

ProcedureVariables::ProcedureVariables(db::EmbeddedProcedureContext& call) : call_(call) {}

void ProcedureVariables::set(const QString& name, db::DataType type, const QVariant& value) {
    values_.insert(name.toLower(), db::SqlValue{type, value});
}

QVariant ProcedureVariables::value(const QString& name) const {
    const db::SqlValue found = values_.value(name.toLower());
    return found.isNull() ? QVariant() : found.value;
}

void ProcedureVariables::setIntegerInput(const QString& name) {
    const QVariant input = call_.input(name);
    if (!input.isValid() || input.isNull()) {
        set(name, db::DataType::Integer, {});
        return;
    }
    bool ok = false;
    qlonglong number = input.toLongLong(&ok);
    if (!ok) {
        const double real = input.toDouble(&ok);
        number = qlonglong(std::trunc(real));
    }
    if (!ok)
        throw db::EmbeddedErrors::make(
            QStringLiteral("22018"), 8114,
            QStringLiteral("Error converting data type varchar to int."));
    set(name, db::DataType::Integer, number);
}

void ProcedureVariables::setCharInput(const QString& name, int length) {
    set(name, db::DataType::String, charValue(call_.input(name), length));
}

db::ResultSet ProcedureVariables::execute(const QString& tsql) {
    const BoundText bound = boundText(tsql);
    if (!bound.assigned.isEmpty()) {
        const QString& expression = bound.expression;
        // "(Select ...)" alone is a subquery that must give at most one row.
        const bool subquery = expression.startsWith('(') &&
                              closingParenthesis(expression, 0) == expression.size() - 1;
        const QVariant result = subquery ? scalar(expression.mid(1, expression.size() - 2))
                                         : scalar(QStringLiteral("Select ") + expression);
        set(bound.assigned, typeOf(result), result);
        return {};
    }
    std::vector<db::SqlValue> params;
    params.reserve(std::size_t(bound.names.size()));
    for (const auto& name : bound.names) {
        const auto found = values_.constFind(name);
        if (found == values_.cend())
            throw db::EmbeddedErrors::variableNotDeclared(name);
        params.push_back(found.value());
    }
    return call_.execute(bound.sql, params);
}

QVariant ProcedureVariables::scalar(const QString& tsql) {
    const db::ResultSet result = execute(tsql);
    if (result.rows.size() > 1)
        throw db::EmbeddedErrors::make(
            QStringLiteral("21000"), 512,
            QStringLiteral("Subquery returned more than 1 value. This is not permitted when the "
                           "subquery follows =, !=, <, <= , >, >= or when the subquery is used "
                           "as an expression."));
    if (result.rows.empty() || result.rows.front().isEmpty())
        return {};
    return result.rows.front().front();
}

db::DatabaseError ProcedureVariables::nestingLimitExceeded() {
    return db::EmbeddedErrors::make(QStringLiteral("42000"), 217,
                                    QStringLiteral("Maximum stored procedure, function, trigger, "
                                                   "or view nesting level exceeded (limit %1).")
                                        .arg(maxNestingLevel));
}

db::DatabaseError ProcedureVariables::divideByZero() {
    return db::EmbeddedErrors::make(QStringLiteral("22012"), 8134,
                                    QStringLiteral("Divide by zero error encountered."));
}

QVariant ProcedureVariables::charValue(const QVariant& value, int length) {
    if (!value.isValid() || value.isNull())
        return {};
    return value.toString().left(length).leftJustified(length, ' ');
}

bool ProcedureVariables::flagIs(const QVariant& value, QChar flag) {
    if (!value.isValid() || value.isNull())
        return false;
    QString text = value.toString();
    while (text.endsWith(' '))
        text.chop(1);
    return text.size() == 1 && text[0].toUpper() == flag.toUpper();
}

} // namespace costing

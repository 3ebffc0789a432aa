#include "db/TQuery.h"

#include "db/DatabaseError.h"
#include "db/Session.h"
#include "db/TDatabase.h"

namespace db {

TQuery::TQuery(QString name, QString databaseName, QString sql, Session* session)
    : name_(std::move(name)), databaseName_(std::move(databaseName)),
      session_(session ? session : &Session::defaultSession()) {
    session_->addQuery(this);
    setSql(sql);
}

TQuery::~TQuery() {
    session_->removeQuery(this);
}

void TQuery::setSql(const QString& sql) {
    close();
    sql_ = sql;
    parsed_ = parseParameters(sql);
    params_.rebuild(parameterNames(sql));
}

TParam& TQuery::paramByName(const QString& name) {
    return params_.paramByName(name, name_);
}

std::vector<SqlValue> TQuery::boundValues() const {
    std::vector<SqlValue> values;
    values.reserve(static_cast<size_t>(parsed_.references.size()));
    for (const auto& reference : parsed_.references) {
        const auto* param = params_.findParam(reference);
        if (!param)
            throw DatabaseError::fromComponent(
                name_, QStringLiteral("Parameter '%1' not found").arg(reference));
        if (param->dataType() == DataType::Unknown)
            throw DatabaseError::fromComponent(
                name_, QStringLiteral("No value for parameter '%1'").arg(reference));
        values.push_back(param->sqlValue());
    }
    return values;
}

ResultSet TQuery::run() {
    if (sql_.trimmed().isEmpty())
        throw DatabaseError::fromComponent(name_, QStringLiteral("No SQL statement available"));
    const auto values = boundValues();
    auto& connection = session_->openDatabase(databaseName_, name_).connection();
    return connection.execute(parsed_.text, values);
}

void TQuery::open() {
    if (open_)
        return;
    result_ = run();
    row_ = 0;
    open_ = true;
}

void TQuery::execSql() {
    close();
    run();
}

void TQuery::close() noexcept {
    open_ = false;
    result_ = {};
    row_ = 0;
}

void TQuery::next() {
    if (row_ < result_.rows.size())
        ++row_;
}

TField TQuery::fieldByName(const QString& fieldName) const {
    for (qsizetype i = 0; i < result_.columns.size(); ++i) {
        if (result_.columns[i].compare(fieldName, Qt::CaseInsensitive) == 0) {
            if (eof() || !open_)
                return TField(result_.columns[i], QVariant());
            return TField(result_.columns[i], result_.rows[row_][i]);
        }
    }
    throw DatabaseError::fromComponent(name_,
                                       QStringLiteral("Field '%1' not found").arg(fieldName));
}

} // namespace db

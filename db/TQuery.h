#pragma once

#include "db/Connection.h"
#include "db/ParamParser.h"
#include "db/TField.h"
#include "db/TParams.h"

#include <QString>

namespace db {

class Session;

// A fixed SQL text with ":Name" parameters, bound by alias to a connection. Opening runs the
// text, keeps the whole result and positions on the first row. Parameter names are
// case-insensitive; a name used several times is one value; values stay set until changed.
class TQuery {
public:
    TQuery(QString name, QString databaseName, QString sql = {}, Session* session = nullptr);
    ~TQuery();

    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    const QString& name() const { return name_; }
    const QString& databaseName() const { return databaseName_; }
    const QString& sql() const { return sql_; }
    // Replaces the text; the parameter list is rebuilt, surviving names keep their values.
    void setSql(const QString& sql);

    TParams& params() { return params_; }
    TParam& paramByName(const QString& name);

    void open();
    // Runs a statement that returns no rows.
    void execSql();
    void close() noexcept;

    bool isOpen() const { return open_; }
    bool isEmpty() const { return result_.rows.empty(); }
    bool eof() const { return row_ >= result_.rows.size(); }
    void first() { row_ = 0; }
    void next();
    int recordCount() const { return static_cast<int>(result_.rows.size()); }
    const QStringList& fieldNames() const { return result_.columns; }

    // The field of the current row; raises "<name>: Field '<field>' not found".
    TField fieldByName(const QString& fieldName) const;

private:
    std::vector<SqlValue> boundValues() const;
    ResultSet run();

    QString name_;
    QString databaseName_;
    Session* session_;
    QString sql_;
    ParsedStatement parsed_;
    TParams params_;
    ResultSet result_;
    size_t row_ = 0;
    bool open_ = false;
};

} // namespace db

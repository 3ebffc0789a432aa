#include "db/TSQLScript.h"

#include "db/ParamParser.h"
#include "db/Session.h"
#include "db/TDatabase.h"
#include "db/Text.h"

#include <QDebug>

namespace db {

namespace {

TSQLScript::ExceptionDisplay& exceptionDisplay() {
    static TSQLScript::ExceptionDisplay display = [](const DatabaseError& error) {
        qWarning().noquote() << error.message();
    };
    return display;
}

} // namespace

TSQLScript::TSQLScript(QString name, Session* session)
    : name_(std::move(name)), session_(session ? session : &Session::defaultSession()) {}

void TSQLScript::setSql(const QStringList& lines) {
    sql_ = lines;
    parsed_.clear();
    params_.rebuild(parameterNames(sql_.join('\n')));
}

void TSQLScript::setSql(const QString& text) {
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    auto lines = normalised.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    setSql(lines);
}

void TSQLScript::setParamData(std::initializer_list<ParamDeclaration> declarations) {
    params_.clear();
    for (const auto& declaration : declarations)
        params_.add(declaration.name, declaration.type, ParamKind::Input);
}

TParam& TSQLScript::param(const QString& name) {
    return params_.paramByName(name);
}

void TSQLScript::setExceptionDisplay(ExceptionDisplay display) {
    exceptionDisplay() = std::move(display);
}

void TSQLScript::execute() {
    run(-1);
}

void TSQLScript::executeStatement(int statementNo) {
    run(statementNo);
}

void TSQLScript::run(int wanted) {
    if (sql_.isEmpty())
        throw DatabaseError(QStringLiteral("No SQL statement available"));
    if (!dryRun_) {
        // Attaching to the connection opens it through its normal sequence, hooks included.
        auto& database = session_->openDatabase(databaseName_, name_);
        if (!database.connected())
            throw DatabaseError(
                QStringLiteral("Cannot perform this operation on a closed database"));
    }
    if (beforeExec_)
        beforeExec_(*this);
    statementLoop(wanted);
    if (afterExec_)
        afterExec_(*this);
}

void TSQLScript::statementLoop(int wanted) {
    TDatabase* database = dryRun_ ? nullptr : session_->findDatabase(databaseName_);
    bool useTransaction = false;
    if (database && transaction_ && wanted == -1 && !database->inTransaction()) {
        try {
            database->startTransaction();
            useTransaction = true;
        } catch (const DatabaseError&) {
            // Without a transaction the script still runs, statement by statement.
        }
    }

    try {
        const auto lineCount = sql_.size();
        qsizetype i = 0;
        int n = 0;
        QString carried;
        bool ranAny = false;
        bool done = false;
        while (i < lineCount && !done) {
            QStringList buffer;
            bool complete = false;
            while (!complete) {
                if (!carried.isEmpty()) {
                    buffer << carried;
                    carried.clear();
                }
                if (i >= lineCount)
                    break;
                const QString line = trimControls(sql_[i]);
                ++i;
                const auto semicolon = semicolonTerm_ ? line.indexOf(';') : -1;
                if (semicolon >= 0) {
                    carried = trimControls(line.mid(semicolon + 1));
                    const auto before = line.left(semicolon);
                    if (!before.isEmpty())
                        buffer << before;
                    complete = true;
                } else if (line == QString(term_)) {
                    complete = true;
                } else if (!line.isEmpty()) {
                    buffer << line;
                }
            }
            if (buffer.isEmpty())
                continue;
            if (wanted == -1 || wanted == n) {
                ranAny = true;
                runStatement(buffer, static_cast<int>(i - 1) + firstLineNumber_, n);
                if (wanted == n)
                    done = true;
            }
            ++n;
        }
        // A semicolon on the last line followed by more text: that text is one more statement.
        if (!done && !carried.isEmpty() && (wanted == -1 || wanted == n)) {
            ranAny = true;
            runStatement({carried}, static_cast<int>(lineCount - 1) + firstLineNumber_, n);
        }
        if (!ranAny)
            throw DatabaseError(QStringLiteral("List index out of bounds (%1)").arg(wanted));
        if (useTransaction)
            database->commit();
    } catch (...) {
        if (useTransaction)
            database->rollback();
        throw;
    }
}

void TSQLScript::runStatement(const QStringList& buffer, int lineNo, int statementNo) {
    QString text;
    for (const auto& line : buffer)
        text += line + '\n';

    for (;;) {
        try {
            send(text, lineNo, statementNo);
            return;
        } catch (DatabaseError& error) {
            const auto where = QStringLiteral("Error on line %1").arg(lineNo);
            if (error.hasEntries())
                error.addEntry({QStringLiteral("0"), lineNo, where});
            else
                error.appendToMessage(
                    (error.message().isEmpty() ? QString() : QStringLiteral(". ")) + where);
            auto action = ScriptErrorAction::Fail;
            if (onScriptError_)
                onScriptError_(*this, error, lineNo, statementNo, action);
            switch (action) {
            case ScriptErrorAction::Fail:
                throw;
            case ScriptErrorAction::Abort:
                throw SilentAbort();
            case ScriptErrorAction::Retry:
                continue;
            case ScriptErrorAction::Ignore:
                return;
            case ScriptErrorAction::Continue:
                exceptionDisplay()(error);
                return;
            }
        }
    }
}

void TSQLScript::send(const QString& text, int lineNo, int statementNo) {
    if (ignoreParams_) {
        if (dryRun_)
            dryRun_(statementNo, lineNo, text);
        else
            session_->openDatabase(databaseName_, name_).connection().executeDirect(text);
        return;
    }
    auto found = parsed_.constFind(text);
    if (found == parsed_.cend())
        found = parsed_.insert(text, parseParameters(text));
    const ParsedStatement& parsed = found.value();
    std::vector<SqlValue> values;
    values.reserve(static_cast<size_t>(parsed.references.size()));
    for (const auto& reference : parsed.references) {
        const auto* param = params_.findParam(reference);
        if (!param)
            throw DatabaseError(QStringLiteral("Parameter '%1' not found").arg(reference));
        if (param->dataType() == DataType::Unknown)
            throw DatabaseError(QStringLiteral("No value for parameter '%1'").arg(reference));
        values.push_back(param->sqlValue());
    }
    if (dryRun_) {
        dryRun_(statementNo, lineNo, text);
        return;
    }
    session_->openDatabase(databaseName_, name_).connection().execute(parsed.text, values);
}

} // namespace db

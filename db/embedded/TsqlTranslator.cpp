#include "db/embedded/TsqlTranslator.h"

#include "db/embedded/EmbeddedErrors.h"
#include "db/embedded/TsqlCollations.h"

namespace db {

namespace {

using Kind = TsqlToken::Kind;

bool isAnyWord(const TsqlToken& token, std::initializer_list<const char*> words) {
    for (const char* word : words) {
        if (token.isWord(word))
            return true;
    }
    return false;
}

// Words that begin a statement: where an If condition ends and its statement starts.
bool startsStatement(const TsqlToken& token) {
    return isAnyWord(token, {"select", "insert", "update", "delete", "alter", "create", "drop",
                             "exec", "execute", "begin", "set", "print", "return", "declare",
                             "truncate", "if", "while", "raiserror"});
}

bool isTableConstraint(const TsqlToken& token) {
    return isAnyWord(token, {"constraint", "primary", "unique", "check", "foreign", "index"});
}

// T-SQL collation names become one of the engine's: case-insensitive ones compare as
// Thai_CI_AS, the others byte for byte.
QString engineCollation(const QString& name) {
    const QString lower = name.toLower();
    if (lower == QLatin1String("binary") || lower == QLatin1String("nocase") ||
        lower == QLatin1String("rtrim") ||
        lower == QString::fromLatin1(TsqlCollations::dateTime).toLower())
        return name;
    if (lower.contains(QLatin1String("_ci")))
        return QString::fromLatin1(TsqlCollations::text);
    return QStringLiteral("BINARY");
}

// Functions whose result is text (or passes a text through).
bool isTextFunction(const TsqlToken& token) {
    return isAnyWord(token, {"ltrim", "rtrim", "trim", "upper", "lower", "left", "right",
                             "substring", "replace", "isnull", "coalesce"});
}

TranslatedStatement nothing() {
    TranslatedStatement statement;
    statement.kind = TranslatedStatement::Kind::Nothing;
    return statement;
}

bool isTextType(const QString& type) {
    static const QStringList types = {"char", "varchar", "nchar",    "nvarchar",
                                      "text", "ntext",   "charflag", "sysname"};
    return types.contains(type);
}

bool isDateType(const QString& type) {
    static const QStringList types = {"datetime", "smalldatetime", "date", "datetime2"};
    return types.contains(type);
}

QString stringLiteralValue(const QString& text) {
    const QString quoted = text.startsWith('\'') ? text : text.mid(1);
    return quoted.mid(1, quoted.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
}

} // namespace

int TranslatedStatement::totalMarkerCount() const {
    int count = markerCount;
    for (const auto& statement : body)
        count += statement.totalMarkerCount();
    return count;
}

TranslatedBatch TsqlTranslator::translate(const QString& sql) {
    TsqlTranslator translator(sql);
    return translator.batch(0, int(translator.tokens_.size()));
}

TsqlTranslator::TsqlTranslator(const QString& sql) : tokens_(TsqlTokenizer::tokenize(sql)) {
    const int count = int(tokens_.size());
    partner_.assign(count, -1);
    dropped_.assign(count, false);
    std::vector<int> open;
    for (int i = 0; i < count; ++i) {
        if (tokens_[i].isPunctuation('(')) {
            open.push_back(i);
        } else if (tokens_[i].isPunctuation(')') && !open.empty()) {
            partner_[i] = open.back();
            partner_[open.back()] = i;
            open.pop_back();
        }
    }
}

TranslatedBatch TsqlTranslator::batch(int begin, int end) {
    TranslatedBatch out;
    int start = begin;
    int blocks = 0; // Begin ... End and Case ... End around a ';' keep the statement whole
    for (int i = begin; i < end; ++i) {
        const TsqlToken& token = tokens_[i];
        if (token.isPunctuation('(')) {
            i = closing(i, end);
        } else if (token.isWord("begin")) {
            const int after = next(i + 1, end);
            if (after == end || !isAnyWord(tokens_[after], {"tran", "transaction"}))
                ++blocks;
        } else if (token.isWord("case")) {
            ++blocks;
        } else if (token.isWord("end") && blocks > 0) {
            --blocks;
        } else if (token.isPunctuation(';') && blocks == 0) {
            statement(start, i, out);
            start = i + 1;
        }
    }
    statement(start, end, out);
    return out;
}

void TsqlTranslator::statement(int begin, int end, TranslatedBatch& out) {
    const int first = next(begin, end);
    if (first == end)
        return;
    statementBegin_ = begin;
    statementEnd_ = end;
    markerNumber_ = 0;
    const auto word = [&](int index, const char* keyword) {
        return index < end && tokens_[index].isWord(keyword);
    };
    const int second = next(first + 1, end);

    if (word(first, "if"))
        return ifStatement(first, end, out);
    if (word(first, "exec") || word(first, "execute"))
        return execStatement(first, end, out);
    if (word(first, "set") && second < end && tokens_[second].kind == Kind::Word) {
        // Session options (Set NoCount On and the like) mean nothing here.
        const int third = next(second + 1, end);
        if (word(third, "on") || word(third, "off")) {
            out.push_back(nothing());
            return statement(third + 1, end, out);
        }
    }
    if ((word(first, "create") || word(first, "drop")) && word(second, "database")) {
        const int name = next(second + 1, end);
        if (name == end || !tokens_[name].isName())
            throw EmbeddedErrors::syntaxError(tokens_[second].text);
        if (next(name + 1, end) != end)
            throw EmbeddedErrors::unsupported(QStringLiteral("options of Create Database"));
        TranslatedStatement database;
        database.kind = word(first, "create") ? TranslatedStatement::Kind::CreateDatabase
                                              : TranslatedStatement::Kind::DropDatabase;
        database.name = tokens_[name].unquoted();
        out.push_back(std::move(database));
        return;
    }
    if (word(first, "print")) {
        out.push_back(nothing());
        return;
    }
    if ((word(first, "begin") || word(first, "commit") || word(first, "rollback")) &&
        (word(second, "tran") || word(second, "transaction"))) {
        // SQLite has no "Tran" and no transaction names.
        addSql(tokens_[first].text.toUpper(), begin, begin, out);
        return;
    }
    if (word(first, "truncate") && word(second, "table")) {
        insertedBefore_[second] += QStringLiteral("DELETE FROM ");
        dropped_[first] = dropped_[second] = true;
    }
    if (word(first, "create") && word(second, "type")) {
        // User types (IdNo, CharFlag) need no declaration: SQLite takes any type name.
        out.push_back(nothing());
        return;
    }
    if ((word(first, "create") || word(first, "alter") || word(first, "drop")) &&
        (word(second, "procedure") || word(second, "proc")))
        throw EmbeddedErrors::unsupported(
            QStringLiteral("%1 Procedure: its procedures are built in and installed by name")
                .arg(tokens_[first].text));
    if (word(first, "create") && word(second, "table"))
        return createTable(first, end, out);
    if (word(first, "create") && second < end &&
        isAnyWord(tokens_[second], {"unique", "clustered", "nonclustered", "index"}))
        markIndexOptions(second, end);
    if (word(first, "alter") && word(second, "table")) {
        for (int i = next(second + 1, end); i < end; i = next(i + 1, end)) {
            if (tokens_[i].isWord("add")) {
                const int after = next(i + 1, end);
                if (after < end && !isTableConstraint(tokens_[after]))
                    return alterTableAdd(first, i, end, out);
                break;
            }
        }
    }
    // T-SQL lets "Delete T" and "Insert T" go without From and Into.
    if (word(first, "delete") && second < end && tokens_[second].isName() && !word(second, "from"))
        insertedBefore_[second] += QStringLiteral("FROM ");
    if (word(first, "insert") && second < end && tokens_[second].isName() &&
        !word(second, "into") && !word(second, "or"))
        insertedBefore_[second] += QStringLiteral("INTO ");
    addSql(render(begin, end), begin, end, out);
}

void TsqlTranslator::ifStatement(int begin, int end, TranslatedBatch& out) {
    const int conditionBegin = next(begin + 1, end);
    int conditionEnd = end;
    for (int i = conditionBegin; i < end; ++i) {
        if (tokens_[i].isPunctuation('(')) {
            i = closing(i, end);
        } else if (startsStatement(tokens_[i])) {
            conditionEnd = i;
            break;
        }
    }
    if (conditionBegin == end || conditionEnd == conditionBegin || conditionEnd == end)
        throw EmbeddedErrors::syntaxError(tokens_[begin].text);

    TranslatedStatement condition;
    condition.kind = TranslatedStatement::Kind::If;
    statementBegin_ = conditionBegin;
    markerNumber_ = 0;
    condition.sql = (QStringLiteral("SELECT CASE WHEN ") + render(conditionBegin, conditionEnd) +
                     QStringLiteral(" THEN 1 ELSE 0 END"))
                        .toUtf8();
    condition.markerCount = countMarkers(conditionBegin, conditionEnd);

    int bodyBegin = conditionEnd;
    int bodyEnd = end;
    const int last = previous(end, conditionEnd);
    if (tokens_[conditionEnd].isWord("begin") && last > conditionEnd &&
        tokens_[last].isWord("end")) {
        bodyBegin = conditionEnd + 1;
        bodyEnd = last;
    }
    condition.body = batch(bodyBegin, bodyEnd);
    out.push_back(std::move(condition));
}

void TsqlTranslator::execStatement(int begin, int end, TranslatedBatch& out) {
    int i = next(begin + 1, end);
    if (i == end)
        throw EmbeddedErrors::syntaxError(tokens_[begin].text);
    if (!tokens_[i].isName())
        throw EmbeddedErrors::unsupported(QStringLiteral("Exec %1").arg(tokens_[i].text));
    TranslatedStatement call;
    call.kind = TranslatedStatement::Kind::Exec;
    call.name = tokens_[i].unquoted();
    ++i;
    while (i + 1 < end && tokens_[i].isPunctuation('.') && tokens_[i + 1].isName()) {
        call.name = tokens_[i + 1].unquoted();
        i += 2;
    }
    call.markerCount = countMarkers(i, end);
    if (next(i, end) == end) {
        out.push_back(std::move(call));
        return;
    }

    for (const auto& [argumentBegin, argumentEnd] : splitOnCommas(i, end)) {
        std::vector<int> parts;
        for (int j = argumentBegin; j < argumentEnd; ++j) {
            if (tokens_[j].isSignificant())
                parts.push_back(j);
        }
        const QString near = parts.empty() ? QStringLiteral(",") : tokens_[parts.front()].text;
        ExecArgument argument;
        std::size_t valueBegin = 0;
        std::size_t valueEnd = parts.size();
        if (parts.size() > 2 && tokens_[parts[0]].kind == Kind::Variable &&
            tokens_[parts[1]].isPunctuation('=')) {
            argument.name = tokens_[parts[0]].text;
            valueBegin = 2;
        }
        if (valueEnd > valueBegin && isAnyWord(tokens_[parts[valueEnd - 1]], {"output", "out"})) {
            argument.output = true;
            --valueEnd;
        }
        if (valueEnd <= valueBegin)
            throw EmbeddedErrors::syntaxError(near);

        const TsqlToken& value = tokens_[parts[valueEnd - 1]];
        QString sign;
        if (valueEnd - valueBegin == 2 && value.kind == Kind::Number &&
            (tokens_[parts[valueBegin]].isPunctuation('-') ||
             tokens_[parts[valueBegin]].isPunctuation('+')))
            sign = tokens_[parts[valueBegin]].text;
        else if (valueEnd - valueBegin != 1)
            throw EmbeddedErrors::syntaxError(tokens_[parts[valueBegin]].text);

        if (value.kind == Kind::String) {
            argument.value = stringLiteralValue(value.text);
        } else if (value.kind == Kind::Number) {
            const QString number = sign + value.text;
            if (number.contains('.') || number.contains('e', Qt::CaseInsensitive))
                argument.value = number.toDouble();
            else
                argument.value = number.toLongLong();
        } else if (value.kind == Kind::Marker) {
            argument.marker = countMarkers(begin, parts[valueEnd - 1]);
        } else if (value.kind == Kind::Variable) {
            throw EmbeddedErrors::variableNotDeclared(value.text);
        } else if (value.isWord("default")) {
            continue;
        } else if (!value.isWord("null")) {
            // T-SQL takes a bare word as a text value for a procedure parameter.
            argument.value = value.unquoted();
        }
        call.arguments.push_back(std::move(argument));
    }
    out.push_back(std::move(call));
}

void TsqlTranslator::createTable(int begin, int end, TranslatedBatch& out) {
    const int table = next(begin + 1, end);
    const int name = next(table + 1, end);
    int open = -1;
    for (int i = name; i < end; ++i) {
        if (tokens_[i].isPunctuation('(')) {
            open = i;
            break;
        }
    }
    if (open < 0)
        return addSql(render(begin, end), begin, end, out);
    if (tokens_[name].text.startsWith('#'))
        replaced_[table] = QStringLiteral("TEMP TABLE");
    const int close = closing(open, end);
    const auto items = splitOnCommas(open + 1, close);

    // An Identity column numbers itself as SQLite's INTEGER PRIMARY KEY AUTOINCREMENT can,
    // when it is the table's whole primary key or the table has none.
    int identityItem = -1;
    int keyItem = -1;
    QStringList key;
    QString identityName;
    for (int item = 0; item < int(items.size()); ++item) {
        const auto [itemBegin, itemEnd] = items[item];
        const int first = next(itemBegin, itemEnd);
        if (first == itemEnd)
            continue;
        const bool constraint = isTableConstraint(tokens_[first]);
        for (int i = first; i < itemEnd; ++i) {
            if (!constraint && tokens_[i].isWord("identity")) {
                identityItem = item;
                identityName = tokens_[first].unquoted();
            }
            if (tokens_[i].isWord("primary")) {
                keyItem = item;
                if (!constraint) {
                    key = QStringList{tokens_[first].unquoted()};
                    continue;
                }
                const int keyOpen = next(next(i + 1, itemEnd) + 1, itemEnd);
                if (keyOpen < itemEnd && tokens_[keyOpen].isPunctuation('(')) {
                    for (int j = keyOpen + 1; j < closing(keyOpen, itemEnd); ++j) {
                        if (tokens_[j].isName() && !isAnyWord(tokens_[j], {"asc", "desc"}))
                            key << tokens_[j].unquoted();
                    }
                }
            }
        }
    }
    const bool autoNumber =
        identityItem >= 0 &&
        (key.isEmpty() ||
         (key.size() == 1 && key.front().compare(identityName, Qt::CaseInsensitive) == 0));

    for (int item = 0; item < int(items.size()); ++item) {
        const auto [itemBegin, itemEnd] = items[item];
        const int first = next(itemBegin, itemEnd);
        if (first == itemEnd)
            continue;
        if (autoNumber && item == identityItem) {
            for (int i = first + 1; i < itemEnd; ++i)
                dropped_[i] = true;
            insertedBefore_[itemEnd] += QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        } else if (autoNumber && item == keyItem && isTableConstraint(tokens_[first])) {
            // The key now sits on the column; drop the constraint with one comma beside it.
            for (int i = itemBegin; i < itemEnd; ++i)
                dropped_[i] = true;
            dropped_[item > 0 ? itemBegin - 1 : itemEnd] = true;
        } else if (isTableConstraint(tokens_[first])) {
            markIndexOptions(itemBegin, itemEnd);
        } else {
            markColumnDefinition(itemBegin, itemEnd);
        }
    }
    markTableTail(close + 1, end);
    addSql(render(begin, end), begin, end, out);
    if (!tokens_[name].text.startsWith('#'))
        out.back().changedTable = lastName(name, open);
}

void TsqlTranslator::alterTableAdd(int begin, int add, int end, TranslatedBatch& out) {
    const int table = next(begin + 1, end);
    const int name = next(table + 1, end);
    const QString head = QStringLiteral("ALTER TABLE ") + render(name, add).trimmed() +
                         QStringLiteral(" ADD COLUMN ");
    int itemsBegin = add + 1;
    const int after = next(itemsBegin, end);
    if (after < end && tokens_[after].isWord("column"))
        itemsBegin = after + 1;
    // T-SQL adds several columns in one statement, SQLite one per statement.
    for (const auto& [itemBegin, itemEnd] : splitOnCommas(itemsBegin, end)) {
        markColumnDefinition(itemBegin, itemEnd);
        markerNumber_ = 0;
        addSql(head + render(itemBegin, itemEnd).trimmed(), itemBegin, itemEnd, out);
        out.back().changedTable = lastName(name, add);
    }
}

void TsqlTranslator::markIndexOptions(int begin, int end) {
    for (int i = begin; i < end; ++i) {
        if (isAnyWord(tokens_[i], {"clustered", "nonclustered"}))
            dropped_[i] = true;
    }
    for (int i = begin; i < end; ++i) {
        if (tokens_[i].isPunctuation('('))
            return markTableTail(closing(i, end) + 1, end);
    }
}

void TsqlTranslator::markColumnDefinition(int begin, int end) {
    const int name = next(begin, end);
    const int type = next(name + 1, end);
    if (type == end || !tokens_[type].isName())
        return;
    const QString typeName = tokens_[type].unquoted().toLower();
    int afterType = type + 1;
    const int open = next(afterType, end);
    if (open < end && tokens_[open].isPunctuation('(')) {
        const int close = closing(open, end);
        // SQLite takes numbers only as type arguments: Varchar(Max) becomes plain Varchar.
        for (int i = open + 1; i < close; ++i) {
            if (tokens_[i].isWord("max")) {
                for (int j = open; j <= close && j < end; ++j)
                    dropped_[j] = true;
                break;
            }
        }
        afterType = close + 1;
    }

    bool collated = false;
    for (int i = afterType; i < end; ++i) {
        const TsqlToken& token = tokens_[i];
        if (token.isWord("collate")) {
            collated = true;
        } else if (isAnyWord(token, {"clustered", "nonclustered"})) {
            dropped_[i] = true;
        } else if (token.isWord("identity")) {
            dropped_[i] = true;
            const int arguments = next(i + 1, end);
            if (arguments < end && tokens_[arguments].isPunctuation('(')) {
                for (int j = arguments; j <= closing(arguments, end) && j < end; ++j)
                    dropped_[j] = true;
            }
        } else if (token.isWord("default")) {
            // SQLite wants an expression default in parentheses: Default GetDate().
            const int function = next(i + 1, end);
            const int arguments = next(function + 1, end);
            if (function < end && tokens_[function].kind == Kind::Word && arguments < end &&
                tokens_[arguments].isPunctuation('(')) {
                insertedBefore_[function] += QStringLiteral("(");
                insertedBefore_[closing(arguments, end) + 1] += QStringLiteral(")");
            }
        }
    }
    if (collated)
        return;
    if (isTextType(typeName))
        insertedBefore_[afterType] += QStringLiteral(" COLLATE ") + TsqlCollations::text;
    else if (isDateType(typeName))
        insertedBefore_[afterType] += QStringLiteral(" COLLATE ") + TsqlCollations::dateTime;
}

void TsqlTranslator::markTableTail(int begin, int end) {
    for (int i = begin; i < end; ++i) {
        const TsqlToken& token = tokens_[i];
        const int after = next(i + 1, end);
        if (token.isWord("with") && after < end && tokens_[after].isPunctuation('(')) {
            const int close = closing(after, end);
            for (int j = i; j <= close && j < end; ++j)
                dropped_[j] = true;
            i = close;
        } else if (isAnyWord(token, {"on", "textimage_on", "filestream_on"}) && after < end &&
                   tokens_[after].isName()) {
            dropped_[i] = dropped_[after] = true;
            i = after;
        }
    }
}

void TsqlTranslator::addSql(const QString& sql, int begin, int end, TranslatedBatch& out) {
    TranslatedStatement statement;
    statement.sql = sql.trimmed().toUtf8();
    statement.markerCount = countMarkers(begin, end);
    out.push_back(std::move(statement));
}

QString TsqlTranslator::render(int begin, int end) {
    QString out;
    for (int i = begin; i < end; ++i) {
        if (const auto inserted = insertedBefore_.find(i); inserted != insertedBefore_.end())
            out += inserted->second;
        if (dropped_[i])
            continue;
        if (const auto replacement = replaced_.find(i); replacement != replaced_.end()) {
            out += replacement->second;
            continue;
        }
        const TsqlToken& token = tokens_[i];
        if (token.kind == Kind::Comment) {
            out += ' ';
            continue;
        }
        if (token.isPunctuation('(') && isTableHint(i, end, false)) {
            // The old form of a table hint: From Product (NoLock).
            const int before = previous(i, statementBegin_);
            if (before >= statementBegin_ && tokens_[before].isName()) {
                i = closing(i, end);
                continue;
            }
        }
        if (token.kind == Kind::String) {
            out += token.text.startsWith('\'') ? token.text : token.text.mid(1);
            continue;
        }
        if (token.kind == Kind::Marker) {
            // Numbered, so a marker that moves (Top ? becomes LIMIT ?N) keeps its value.
            out += QStringLiteral("?%1").arg(++markerNumber_);
            continue;
        }
        if (token.kind == Kind::Variable) {
            if (token.text.compare(QLatin1String("@@identity"), Qt::CaseInsensitive) == 0)
                out += QStringLiteral("last_insert_rowid()");
            else if (token.text.compare(QLatin1String("@@rowcount"), Qt::CaseInsensitive) == 0)
                out += QStringLiteral("changes()");
            else
                throw EmbeddedErrors::variableNotDeclared(token.text);
            continue;
        }
        if (token.isName() && (i == 0 || !tokens_[i - 1].isPunctuation('.'))) {
            // "Db.dbo.Name" and "dbo.Name": the embedded engine has one schema per database.
            if (i + 3 < end && tokens_[i + 1].isPunctuation('.') && tokens_[i + 2].isName() &&
                tokens_[i + 2].unquoted().compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 &&
                tokens_[i + 3].isPunctuation('.')) {
                i += 3;
                continue;
            }
            if (i + 2 < end &&
                token.unquoted().compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 &&
                tokens_[i + 1].isPunctuation('.') && tokens_[i + 2].isName()) {
                i += 1;
                continue;
            }
        }
        if (token.kind == Kind::Word) {
            if (token.text.startsWith('#')) {
                out += '"' + token.text + '"';
                continue;
            }
            const int after = next(i + 1, end);
            const bool call = after < end && tokens_[after].isPunctuation('(');
            if (call && token.isWord("convert")) {
                i = renderConvert(i, out);
                continue;
            }
            if (call && token.isWord("cast")) {
                i = renderCast(i, out);
                continue;
            }
            if (call && isTextFunction(token)) {
                // A function's result has no collation in SQLite: give it the case-insensitive
                // one, so LTrim(RTrim(Code)) = 'abc' compares as on SQL Server.
                const int close = closing(after, end);
                QString name = token.text;
                if (token.isWord("isnull"))
                    name = QStringLiteral("IfNull");
                else if (token.isWord("left") || token.isWord("right"))
                    name = QStringLiteral("tsql_") + token.text.toLower();
                out += '(' + name + render(after, close) + QStringLiteral(") COLLATE ") +
                       TsqlCollations::text + ')';
                i = close;
                continue;
            }
            if (token.isWord("with") && isTableHint(after, end, true)) {
                i = closing(after, end);
                continue;
            }
            if (token.isWord("current_timestamp")) {
                out += QStringLiteral("getdate()");
                continue;
            }
            if (token.isWord("top")) {
                i = renderTop(i, out);
                continue;
            }
            if (token.isWord("collate") && after < end && tokens_[after].isName())
                replaced_[after] = engineCollation(tokens_[after].unquoted());
        }
        out += token.text;
    }
    if (const auto inserted = insertedBefore_.find(end); inserted != insertedBefore_.end())
        out += inserted->second;
    return out;
}

int TsqlTranslator::renderConvert(int at, QString& out) {
    const int open = next(at + 1, statementEnd_);
    const int close = closing(open, statementEnd_);
    const int type = next(open + 1, close);
    if (type == close || !tokens_[type].isName())
        throw EmbeddedErrors::syntaxError(tokens_[at].text);
    QStringList arguments;
    int comma = next(type + 1, close);
    if (comma < close && tokens_[comma].isPunctuation('(')) {
        const int argumentsClose = closing(comma, close);
        for (int i = comma + 1; i < argumentsClose; ++i) {
            if (tokens_[i].kind == Kind::Number || tokens_[i].isWord("max"))
                arguments << tokens_[i].text.toLower();
        }
        comma = next(argumentsClose + 1, close);
    }
    if (comma == close || !tokens_[comma].isPunctuation(','))
        throw EmbeddedErrors::syntaxError(tokens_[type].text);
    int expressionEnd = close;
    for (int i = comma + 1; i < close; ++i) {
        if (tokens_[i].isPunctuation('('))
            i = closing(i, close);
        else if (tokens_[i].isPunctuation(',')) {
            expressionEnd = i;
            break;
        }
    }
    const QString expression = render(comma + 1, expressionEnd);
    const QString style =
        expressionEnd < close ? render(expressionEnd + 1, close).trimmed() : QStringLiteral("-1");
    out += conversion(tokens_[type].unquoted().toLower(), arguments, expression, style);
    return close;
}

int TsqlTranslator::renderCast(int at, QString& out) {
    const int open = next(at + 1, statementEnd_);
    const int close = closing(open, statementEnd_);
    int as = -1;
    for (int i = open + 1; i < close; ++i) {
        if (tokens_[i].isPunctuation('('))
            i = closing(i, close);
        else if (tokens_[i].isWord("as"))
            as = i;
    }
    const int type = as < 0 ? close : next(as + 1, close);
    if (type == close || !tokens_[type].isName())
        throw EmbeddedErrors::syntaxError(tokens_[at].text);
    QStringList arguments;
    const int argumentsOpen = next(type + 1, close);
    if (argumentsOpen < close && tokens_[argumentsOpen].isPunctuation('(')) {
        for (int i = argumentsOpen + 1; i < closing(argumentsOpen, close); ++i) {
            if (tokens_[i].kind == Kind::Number || tokens_[i].isWord("max"))
                arguments << tokens_[i].text.toLower();
        }
    }
    const QString expression = render(open + 1, as);
    out +=
        conversion(tokens_[type].unquoted().toLower(), arguments, expression, QStringLiteral("-1"));
    return close;
}

int TsqlTranslator::renderTop(int at, QString& out) {
    const int before = previous(at, statementBegin_);
    if (before < statementBegin_ || !isAnyWord(tokens_[before], {"select", "distinct", "all"})) {
        out += tokens_[at].text;
        return at;
    }
    const int count = next(at + 1, statementEnd_);
    if (count == statementEnd_)
        throw EmbeddedErrors::syntaxError(tokens_[at].text);
    QString limit;
    int last = count;
    if (tokens_[count].kind == Kind::Number) {
        limit = tokens_[count].text;
    } else if (tokens_[count].kind == Kind::Marker) {
        limit = QStringLiteral("?%1").arg(++markerNumber_);
    } else if (tokens_[count].isPunctuation('(')) {
        last = closing(count, statementEnd_);
        limit = '(' + render(count + 1, last) + ')';
    } else {
        throw EmbeddedErrors::syntaxError(tokens_[count].text);
    }
    const int after = next(last + 1, statementEnd_);
    if (after < statementEnd_ && isAnyWord(tokens_[after], {"percent", "with"}))
        throw EmbeddedErrors::unsupported(QStringLiteral("Top ... %1").arg(tokens_[after].text));

    // LIMIT goes at the end of the Select: before the parenthesis around it, or at the end.
    int limitAt = statementEnd_;
    int depth = 0;
    for (int i = at - 1; i >= statementBegin_; --i) {
        if (tokens_[i].isPunctuation(')')) {
            ++depth;
        } else if (tokens_[i].isPunctuation('(')) {
            if (depth == 0) {
                limitAt = closing(i, statementEnd_);
                break;
            }
            --depth;
        }
    }
    insertedBefore_[limitAt] += QStringLiteral(" LIMIT ") + limit;
    return last;
}

QString TsqlTranslator::conversion(const QString& type, const QStringList& arguments,
                                   const QString& expression, const QString& style) const {
    bool styleIsNumber = false;
    style.toInt(&styleIsNumber);
    if (!styleIsNumber)
        throw EmbeddedErrors::syntaxError(style);
    if (type == QLatin1String("decimal") || type == QLatin1String("numeric") ||
        type == QLatin1String("dec"))
        return QStringLiteral("tsql_decimal(%1, %2, %3)")
            .arg(expression, arguments.value(1, QStringLiteral("0")),
                 arguments.value(0, QStringLiteral("18")));
    if (type == QLatin1String("money") || type == QLatin1String("smallmoney"))
        return QStringLiteral("tsql_money(%1)").arg(expression);
    if (type == QLatin1String("int") || type == QLatin1String("integer") ||
        type == QLatin1String("bigint") || type == QLatin1String("smallint") ||
        type == QLatin1String("tinyint"))
        return QStringLiteral("tsql_int(%1)").arg(expression);
    if (type == QLatin1String("float") || type == QLatin1String("real"))
        return QStringLiteral("tsql_float(%1)").arg(expression);
    if (isTextType(type) && type != QLatin1String("charflag")) {
        // Without a length T-SQL converts to 30 characters; Char pads with blanks.
        QString length = arguments.value(0, QStringLiteral("30"));
        if (length == QLatin1String("max") || type.endsWith(QLatin1String("text")))
            length = QStringLiteral("-1");
        const bool pad = type == QLatin1String("char") || type == QLatin1String("nchar");
        return QStringLiteral("(tsql_varchar(%1, %2, %3, %4) COLLATE %5)")
            .arg(expression, length, pad ? QStringLiteral("1") : QStringLiteral("0"), style,
                 QString::fromLatin1(TsqlCollations::text));
    }
    if (isDateType(type))
        return QStringLiteral("tsql_datetime(%1, %2, %3)")
            .arg(expression, style,
                 type == QLatin1String("date") ? QStringLiteral("1") : QStringLiteral("0"));
    throw EmbeddedErrors::make(QStringLiteral("42000"), 243,
                               QStringLiteral("Type %1 is not a defined system type.").arg(type));
}

bool TsqlTranslator::isTableHint(int open, int end, bool afterWith) const {
    if (open >= end || !tokens_[open].isPunctuation('('))
        return false;
    const int first = next(open + 1, end);
    if (first == end)
        return false;
    // Index(...) only after With: a bare "(Index" may be a function's argument.
    return (afterWith && tokens_[first].isWord("index")) ||
           isAnyWord(tokens_[first],
                     {"nolock", "readuncommitted", "readcommitted", "rowlock", "paglock", "tablock",
                      "tablockx", "updlock", "holdlock", "xlock", "readpast", "serializable",
                      "repeatableread", "nowait"});
}

int TsqlTranslator::next(int index, int end) const {
    while (index < end && !tokens_[index].isSignificant())
        ++index;
    return index < end ? index : end;
}

int TsqlTranslator::previous(int end, int begin) const {
    int index = end - 1;
    while (index >= begin && !tokens_[index].isSignificant())
        --index;
    return index;
}

int TsqlTranslator::closing(int open, int end) const {
    const int close = partner_[open];
    return close < 0 || close > end ? end : close;
}

std::vector<std::pair<int, int>> TsqlTranslator::splitOnCommas(int begin, int end) const {
    std::vector<std::pair<int, int>> items;
    int start = begin;
    for (int i = begin; i < end; ++i) {
        if (tokens_[i].isPunctuation('(')) {
            i = closing(i, end);
        } else if (tokens_[i].isPunctuation(',')) {
            items.emplace_back(start, i);
            start = i + 1;
        }
    }
    items.emplace_back(start, end);
    return items;
}

QString TsqlTranslator::lastName(int begin, int end) const {
    QString name;
    for (int i = begin; i < end; ++i) {
        if (tokens_[i].isName())
            name = tokens_[i].unquoted();
    }
    return name;
}

int TsqlTranslator::countMarkers(int begin, int end) const {
    int count = 0;
    for (int i = begin; i < end; ++i) {
        if (tokens_[i].kind == Kind::Marker && !dropped_[i])
            ++count;
    }
    return count;
}

} // namespace db

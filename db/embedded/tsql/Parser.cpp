#include "db/embedded/tsql/Parser.h"

#include "db/embedded/tsql/TsqlError.h"

#include <QSet>

namespace db::tsql {

namespace {

using Kind = Token::Kind;

// SQL Server's reserved keywords (and a few statement words that are not reserved but begin a
// statement): a word of these never is an alias, so where one stands a clause or statement ends.
const QSet<QString>& reservedWords() {
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* word : {"add",
                                 "all",
                                 "alter",
                                 "and",
                                 "any",
                                 "as",
                                 "asc",
                                 "backup",
                                 "begin",
                                 "between",
                                 "break",
                                 "browse",
                                 "bulk",
                                 "by",
                                 "cascade",
                                 "case",
                                 "check",
                                 "checkpoint",
                                 "close",
                                 "clustered",
                                 "coalesce",
                                 "collate",
                                 "column",
                                 "commit",
                                 "compute",
                                 "constraint",
                                 "contains",
                                 "continue",
                                 "convert",
                                 "create",
                                 "cross",
                                 "current",
                                 "cursor",
                                 "database",
                                 "dbcc",
                                 "deallocate",
                                 "declare",
                                 "default",
                                 "delete",
                                 "deny",
                                 "desc",
                                 "distinct",
                                 "distributed",
                                 "double",
                                 "drop",
                                 "else",
                                 "end",
                                 "errlvl",
                                 "escape",
                                 "except",
                                 "exec",
                                 "execute",
                                 "exists",
                                 "exit",
                                 "external",
                                 "fetch",
                                 "file",
                                 "fillfactor",
                                 "for",
                                 "foreign",
                                 "freetext",
                                 "from",
                                 "full",
                                 "function",
                                 "goto",
                                 "grant",
                                 "group",
                                 "having",
                                 "holdlock",
                                 "identity",
                                 "identity_insert",
                                 "identitycol",
                                 "if",
                                 "in",
                                 "index",
                                 "inner",
                                 "insert",
                                 "intersect",
                                 "into",
                                 "is",
                                 "join",
                                 "key",
                                 "kill",
                                 "left",
                                 "like",
                                 "lineno",
                                 "merge",
                                 "national",
                                 "nocheck",
                                 "nonclustered",
                                 "not",
                                 "null",
                                 "nullif",
                                 "of",
                                 "off",
                                 "offsets",
                                 "on",
                                 "open",
                                 "option",
                                 "or",
                                 "order",
                                 "outer",
                                 "over",
                                 "percent",
                                 "pivot",
                                 "plan",
                                 "primary",
                                 "print",
                                 "proc",
                                 "procedure",
                                 "public",
                                 "raiserror",
                                 "read",
                                 "reconfigure",
                                 "references",
                                 "replication",
                                 "restore",
                                 "restrict",
                                 "return",
                                 "revert",
                                 "revoke",
                                 "right",
                                 "rollback",
                                 "rowcount",
                                 "rowguidcol",
                                 "rule",
                                 "save",
                                 "schema",
                                 "select",
                                 "set",
                                 "setuser",
                                 "shutdown",
                                 "some",
                                 "statistics",
                                 "table",
                                 "textsize",
                                 "then",
                                 "to",
                                 "top",
                                 "tran",
                                 "transaction",
                                 "trigger",
                                 "truncate",
                                 "union",
                                 "unique",
                                 "unpivot",
                                 "update",
                                 "use",
                                 "user",
                                 "values",
                                 "varying",
                                 "view",
                                 "waitfor",
                                 "when",
                                 "where",
                                 "while",
                                 "with",
                                 "throw",
                                 "offset",
                                 "fetch"})
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return words;
}

bool isReserved(const Token& token) {
    return token.kind == Kind::Word && reservedWords().contains(token.text.toLower());
}

bool isCompareSymbol(const Token& token) {
    if (token.kind != Kind::Symbol)
        return false;
    static const char* const symbols[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* symbol : symbols) {
        if (token.text == QLatin1String(symbol))
            return true;
    }
    return false;
}

QString normalizedCompare(const QString& op) {
    if (op == QLatin1String("!="))
        return QStringLiteral("<>");
    if (op == QLatin1String("!<"))
        return QStringLiteral(">=");
    if (op == QLatin1String("!>"))
        return QStringLiteral("<=");
    return op;
}

bool isAssignmentSymbol(const Token& token) {
    if (token.kind != Kind::Symbol)
        return false;
    static const char* const symbols[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    for (const char* symbol : symbols) {
        if (token.text == QLatin1String(symbol))
            return true;
    }
    return false;
}

QString describe(const Token& token) {
    switch (token.kind) {
    case Kind::String:
        return token.text;
    case Kind::NString:
        return token.text;
    case Kind::End:
        return QString();
    default:
        return token.text;
    }
}

} // namespace

Parser::Parser(const QString& text) : text_(text), tokens_(Lexer::tokenize(text)) {
    int number = 0;
    markerNumbers_.resize(tokens_.size(), -1);
    for (std::size_t i = 0; i < tokens_.size(); ++i) {
        if (tokens_[i].kind == Kind::Marker)
            markerNumbers_[i] = number++;
    }
    markers_ = number;
}

Batch Parser::parseBatch(const QString& text) {
    Parser parser(text);
    Batch batch;
    batch.markerCount = parser.markers_;
    while (!parser.atEnd()) {
        if (parser.acceptSymbol(";"))
            continue;
        if (auto statement = parser.statement())
            batch.statements.push_back(std::move(statement));
    }
    return batch;
}

ExprPtr Parser::parseExpression(const QString& text) {
    Parser parser(text);
    auto expression = parser.expression();
    if (!parser.atEnd())
        parser.syntaxError();
    return expression;
}

// ---- tokens ----------------------------------------------------------------------------------

const Token& Parser::peek(int ahead) const {
    const std::size_t index = position_ + std::size_t(ahead);
    return index < tokens_.size() ? tokens_[index] : tokens_.back();
}

const Token& Parser::take() {
    const Token& token = peek();
    if (position_ + 1 < tokens_.size())
        ++position_;
    return token;
}

bool Parser::atWord(const char* word, int ahead) const {
    return peek(ahead).isWord(word);
}

bool Parser::atSymbol(const char* symbol, int ahead) const {
    return peek(ahead).isSymbol(symbol);
}

bool Parser::acceptWord(const char* word) {
    if (!atWord(word))
        return false;
    take();
    return true;
}

bool Parser::acceptSymbol(const char* symbol) {
    if (!atSymbol(symbol))
        return false;
    take();
    return true;
}

void Parser::expectWord(const char* word) {
    if (!acceptWord(word))
        syntaxError();
}

void Parser::expectSymbol(const char* symbol) {
    if (!acceptSymbol(symbol))
        syntaxError();
}

void Parser::syntaxError() const {
    syntaxError(peek());
}

void Parser::syntaxError(const Token& token) const {
    TsqlError error =
        token.kind == Kind::End
            ? TsqlError(102,
                        QStringLiteral("Incorrect syntax near '%1'.")
                            .arg(position_ > 0 ? describe(tokens_[position_ - 1]) : QString()),
                        15, 1, ErrorScope::Batch)
        : isReserved(token)
            ? TsqlError(156,
                        QStringLiteral("Incorrect syntax near the keyword '%1'.")
                            .arg(token.text.toLower()),
                        15, 1, ErrorScope::Batch)
            : TsqlError(102, QStringLiteral("Incorrect syntax near '%1'.").arg(describe(token)), 15,
                        1, ErrorScope::Batch);
    error.setPlace(QString(), token.line);
    throw error;
}

void Parser::unsupported(const QString& what) const {
    TsqlError error(
        40000,
        QStringLiteral("The embedded engine does not run %1 (line %2).").arg(what).arg(peek().line),
        16, 1, ErrorScope::Batch);
    error.setPlace(QString(), peek().line);
    throw error;
}

QString Parser::name() {
    const Token& token = peek();
    if (token.kind == Kind::QuotedName || (token.kind == Kind::Word && !isReserved(token)))
        return take().text;
    syntaxError();
}

ObjectName Parser::objectName() {
    ObjectName result;
    result.parts << name();
    while (atSymbol(".")) {
        take();
        // "Db..Table": an empty schema part.
        if (atSymbol(".")) {
            result.parts << QString();
            continue;
        }
        result.parts << name();
    }
    return result;
}

QString Parser::variableName() {
    if (peek().kind != Kind::Variable)
        syntaxError();
    return take().text;
}

bool Parser::atStatementEnd() const {
    const Token& token = peek();
    return token.kind == Kind::End || token.isSymbol(";") || isReserved(token);
}

ExprPtr Parser::makeExpr(ExprKind kind, int line) const {
    auto expr = std::make_unique<Expr>();
    expr->kind = kind;
    expr->line = line;
    return expr;
}

// ---- statements ------------------------------------------------------------------------------

StatementPtr Parser::statement() {
    const Token& first = peek();
    const int line = first.line;
    StatementPtr result;
    if (first.kind == Kind::Word && atSymbol(":", 1))
        unsupported(QStringLiteral("labels and Goto"));
    if (first.isSymbol("(") && atQueryStart(1)) {
        result = selectStatement({});
    } else if (first.kind != Kind::Word) {
        syntaxError();
    } else if (first.isWord("select")) {
        result = selectStatement({});
    } else if (first.isWord("with")) {
        result = withStatement();
    } else if (first.isWord("insert")) {
        result = insertStatement({});
    } else if (first.isWord("update")) {
        result = updateStatement({});
    } else if (first.isWord("delete")) {
        result = deleteStatement({});
    } else if (first.isWord("declare")) {
        result = declareStatement();
    } else if (first.isWord("set")) {
        result = setStatement();
    } else if (first.isWord("if")) {
        result = ifStatement();
    } else if (first.isWord("while")) {
        result = whileStatement();
    } else if (first.isWord("begin")) {
        result = beginStatement();
    } else if (first.isWord("break") || first.isWord("continue")) {
        take();
        result = std::make_unique<SimpleStatement>(first.isWord("break") ? StatementKind::Break
                                                                         : StatementKind::Continue);
    } else if (first.isWord("return")) {
        take();
        auto statement = std::make_unique<SimpleStatement>(StatementKind::Return);
        if (!atStatementEnd() || atWord("case") || atWord("coalesce") || atWord("convert") ||
            atWord("null") || atWord("nullif") || atWord("left") || atWord("right"))
            statement->value = expression();
        result = std::move(statement);
    } else if (first.isWord("exec") || first.isWord("execute")) {
        result = execStatement();
    } else if (first.isWord("throw")) {
        result = throwStatement();
    } else if (first.isWord("raiserror")) {
        result = raisErrorStatement();
    } else if (first.isWord("print")) {
        take();
        auto statement = std::make_unique<SimpleStatement>(StatementKind::Print);
        statement->value = expression();
        result = std::move(statement);
    } else if (first.isWord("commit")) {
        result = transactionStatement(StatementKind::Commit);
    } else if (first.isWord("rollback")) {
        result = transactionStatement(StatementKind::Rollback);
    } else if (first.isWord("save")) {
        result = transactionStatement(StatementKind::SaveTransaction);
    } else if (first.isWord("open")) {
        result = cursorStatement(StatementKind::OpenCursor);
    } else if (first.isWord("close")) {
        result = cursorStatement(StatementKind::CloseCursor);
    } else if (first.isWord("deallocate")) {
        result = cursorStatement(StatementKind::DeallocateCursor);
    } else if (first.isWord("fetch")) {
        result = fetchStatement();
    } else if (first.isWord("create")) {
        result = createStatement();
    } else if (first.isWord("alter")) {
        result = alterStatement();
    } else if (first.isWord("drop")) {
        result = dropStatement();
    } else if (first.isWord("truncate")) {
        take();
        expectWord("table");
        auto statement = std::make_unique<TruncateStatement>();
        statement->table = objectName();
        result = std::move(statement);
    } else if (first.isWord("use")) {
        take();
        auto statement = std::make_unique<SimpleStatement>(StatementKind::Use);
        statement->name = name();
        result = std::move(statement);
    } else if (first.isWord("dbcc")) {
        take();
        if (!acceptWord("checkdb"))
            unsupported(QStringLiteral("DBCC commands other than CheckDB"));
        auto statement = std::make_unique<SimpleStatement>(StatementKind::CheckDatabase);
        if (acceptSymbol("(")) {
            statement->name = peek().kind == Kind::String ? take().text : name();
            expectSymbol(")");
        }
        if (acceptWord("with")) {
            do
                take();
            while (acceptSymbol(","));
        }
        result = std::move(statement);
    } else if (first.isWord("goto")) {
        unsupported(QStringLiteral("Goto"));
    } else if (first.isWord("merge")) {
        unsupported(QStringLiteral("Merge"));
    } else if (first.isWord("waitfor")) {
        unsupported(QStringLiteral("WaitFor"));
    } else {
        syntaxError();
    }
    result->line = line;
    acceptSymbol(";");
    return result;
}

StatementList Parser::statementsUntilEnd(const char* second) {
    StatementList statements;
    for (;;) {
        if (acceptSymbol(";"))
            continue;
        if (atWord("end") && (second == nullptr || atWord(second, 1)))
            break;
        if (atEnd())
            syntaxError();
        statements.push_back(statement());
    }
    take(); // End
    if (second != nullptr)
        take();
    return statements;
}

StatementPtr Parser::beginStatement() {
    take(); // Begin
    if (atWord("tran") || atWord("transaction") || atWord("distributed")) {
        acceptWord("distributed");
        take();
        auto statement = std::make_unique<SimpleStatement>(StatementKind::BeginTransaction);
        if (peek().kind == Kind::Word && !isReserved(peek()))
            statement->name = take().text;
        else if (peek().kind == Kind::Variable)
            statement->name = take().text;
        if (acceptWord("with")) {
            // With Mark ['description']
            expectWord("mark");
            if (peek().is(Kind::String) || peek().is(Kind::NString))
                take();
        }
        return statement;
    }
    if (atWord("try")) {
        take();
        auto statement = std::make_unique<TryCatchStatement>();
        statement->tryBlock = statementsUntilEnd("try");
        while (acceptSymbol(";")) {
        }
        expectWord("begin");
        expectWord("catch");
        statement->catchBlock = statementsUntilEnd("catch");
        return statement;
    }
    auto block = std::make_unique<BlockStatement>();
    block->statements = statementsUntilEnd();
    return block;
}

std::vector<CommonTable> Parser::commonTables() {
    std::vector<CommonTable> tables;
    expectWord("with");
    do {
        CommonTable table;
        table.name = name();
        if (atSymbol("("))
            table.columns = parenthesizedNames(false);
        expectWord("as");
        expectSymbol("(");
        table.query = query();
        expectSymbol(")");
        tables.push_back(std::move(table));
    } while (acceptSymbol(","));
    return tables;
}

StatementPtr Parser::withStatement() {
    auto with = commonTables();
    if (atWord("select") || atSymbol("("))
        return selectStatement(std::move(with));
    if (atWord("insert"))
        return insertStatement(std::move(with));
    if (atWord("update"))
        return updateStatement(std::move(with));
    if (atWord("delete"))
        return deleteStatement(std::move(with));
    syntaxError();
}

StatementPtr Parser::selectStatement(std::vector<CommonTable> with) {
    auto statement = std::make_unique<SelectStatement>();
    statement->with = std::move(with);
    statement->query = query();
    if (atWord("option"))
        unsupported(QStringLiteral("query hints (Option)"));
    if (atWord("for") && (atWord("xml", 1) || atWord("json", 1) || atWord("browse", 1)))
        unsupported(QStringLiteral("For Xml and For Json"));
    return statement;
}

StatementPtr Parser::insertStatement(std::vector<CommonTable> with) {
    take(); // Insert
    auto statement = std::make_unique<InsertStatement>();
    statement->with = std::move(with);
    if (atWord("top"))
        unsupported(QStringLiteral("Insert Top"));
    acceptWord("into");
    if (peek().kind == Kind::Variable)
        statement->target.parts << take().text;
    else
        statement->target = objectName();
    skipTableHints();
    if (atSymbol("(") && !atQueryStart(1))
        statement->columns = parenthesizedNames(false);
    if (atWord("output"))
        unsupported(QStringLiteral("the Output clause"));
    if (acceptWord("values")) {
        do {
            expectSymbol("(");
            std::vector<ExprPtr> row;
            do {
                if (atWord("default"))
                    unsupported(QStringLiteral("Default in a Values list"));
                row.push_back(expression());
            } while (acceptSymbol(","));
            expectSymbol(")");
            statement->values.push_back(std::move(row));
        } while (acceptSymbol(","));
    } else if (atWord("default")) {
        take();
        expectWord("values");
        statement->defaultValues = true;
    } else if (atWord("exec") || atWord("execute")) {
        statement->exec = execStatement();
    } else if (atQueryStart()) {
        statement->query = query();
    } else if (atWord("with")) {
        unsupported(QStringLiteral("a common table expression after Insert"));
    } else {
        syntaxError();
    }
    return statement;
}

StatementPtr Parser::updateStatement(std::vector<CommonTable> with) {
    take(); // Update
    auto statement = std::make_unique<UpdateStatement>();
    statement->with = std::move(with);
    if (acceptWord("top")) {
        expectSymbol("(");
        statement->top = expression();
        expectSymbol(")");
    }
    if (peek().kind == Kind::Variable)
        statement->target.parts << take().text;
    else
        statement->target = objectName();
    skipTableHints();
    expectWord("set");
    do {
        ColumnAssignment assignment;
        if (peek().kind == Kind::Variable) {
            assignment.variable = take().text;
            if (!isAssignmentSymbol(peek()))
                syntaxError();
            assignment.op = take().text;
            // Set @v = column = value: the variable takes the column's new value.
            if (peek().isName() && atSymbol("=", 1) && !isReserved(peek())) {
                assignment.column = objectName();
                take();
            }
        } else {
            assignment.column = objectName();
            if (!isAssignmentSymbol(peek()))
                syntaxError();
            assignment.op = take().text;
        }
        assignment.value = expression();
        statement->assignments.push_back(std::move(assignment));
    } while (acceptSymbol(","));
    if (atWord("output"))
        unsupported(QStringLiteral("the Output clause"));
    if (atWord("from"))
        statement->from = fromClause();
    if (acceptWord("where")) {
        if (atWord("current"))
            unsupported(QStringLiteral("Where Current Of"));
        statement->where = expression();
    }
    if (atWord("option"))
        unsupported(QStringLiteral("query hints (Option)"));
    return statement;
}

StatementPtr Parser::deleteStatement(std::vector<CommonTable> with) {
    take(); // Delete
    auto statement = std::make_unique<DeleteStatement>();
    statement->with = std::move(with);
    if (acceptWord("top")) {
        expectSymbol("(");
        statement->top = expression();
        expectSymbol(")");
    }
    acceptWord("from");
    if (peek().kind == Kind::Variable)
        statement->target.parts << take().text;
    else
        statement->target = objectName();
    skipTableHints();
    if (atWord("output"))
        unsupported(QStringLiteral("the Output clause"));
    if (atWord("from"))
        statement->from = fromClause();
    if (acceptWord("where")) {
        if (atWord("current"))
            unsupported(QStringLiteral("Where Current Of"));
        statement->where = expression();
    }
    if (atWord("option"))
        unsupported(QStringLiteral("query hints (Option)"));
    return statement;
}

StatementPtr Parser::declareStatement() {
    take(); // Declare
    if (peek().kind != Kind::Variable) {
        // Declare Name Cursor ...
        auto cursor = std::make_unique<DeclareCursorStatement>();
        cursor->name = name();
        acceptWord("insensitive");
        acceptWord("scroll");
        expectWord("cursor");
        for (;;) {
            if (acceptWord("global")) {
                cursor->global = true;
                continue;
            }
            if (acceptWord("local") || acceptWord("forward_only") || acceptWord("scroll") ||
                acceptWord("static") || acceptWord("keyset") || acceptWord("dynamic") ||
                acceptWord("fast_forward") || acceptWord("read_only") ||
                acceptWord("scroll_locks") || acceptWord("optimistic") ||
                acceptWord("type_warning"))
                continue;
            break;
        }
        expectWord("for");
        std::vector<CommonTable> with;
        if (atWord("with"))
            with = commonTables();
        auto select = std::make_unique<SelectStatement>();
        select->line = peek().line;
        select->with = std::move(with);
        select->query = query();
        cursor->query = std::move(select);
        if (acceptWord("for")) {
            if (acceptWord("read")) {
                expectWord("only");
            } else {
                expectWord("update");
                if (acceptWord("of")) {
                    do
                        name();
                    while (acceptSymbol(","));
                }
            }
        }
        return cursor;
    }

    auto statement = std::make_unique<DeclareStatement>();
    do {
        VariableDeclaration variable;
        variable.name = variableName();
        acceptWord("as");
        if (acceptWord("table")) {
            variable.isTable = true;
            expectSymbol("(");
            do {
                if (atTableConstraint())
                    variable.constraints.push_back(tableConstraint());
                else
                    variable.columns.push_back(columnDefinition());
            } while (acceptSymbol(","));
            expectSymbol(")");
        } else if (atWord("cursor")) {
            unsupported(QStringLiteral("cursor variables"));
        } else {
            variable.type = typeName();
            if (acceptSymbol("="))
                variable.initialValue = expression();
        }
        statement->variables.push_back(std::move(variable));
    } while (acceptSymbol(","));
    return statement;
}

StatementPtr Parser::setStatement() {
    take(); // Set
    if (peek().kind == Kind::Variable) {
        auto statement = std::make_unique<SetVariableStatement>();
        statement->variable = take().text;
        if (!isAssignmentSymbol(peek()))
            syntaxError();
        statement->op = take().text;
        if (atWord("cursor"))
            unsupported(QStringLiteral("cursor variables"));
        statement->value = expression();
        return statement;
    }
    auto statement = std::make_unique<SetOptionStatement>();
    if (peek().kind != Kind::Word)
        syntaxError();
    statement->option = take().text.toUpper();
    if (statement->option == QLatin1String("IDENTITY_INSERT")) {
        statement->table = objectName();
        statement->value = take().text.toUpper();
        return statement;
    }
    if (statement->option == QLatin1String("TRANSACTION")) {
        // Set Transaction Isolation Level Read Committed
        QStringList words;
        while (peek().kind == Kind::Word && !atStatementEnd())
            words << take().text.toUpper();
        while (atWord("read") || atWord("committed") || atWord("uncommitted") ||
               atWord("repeatable") || atWord("serializable") || atWord("snapshot"))
            words << take().text.toUpper();
        statement->value = words.join(' ');
        return statement;
    }
    // Several options may share one On or Off: Set Ansi_Nulls, Quoted_Identifier On.
    while (acceptSymbol(",")) {
        if (peek().kind != Kind::Word)
            syntaxError();
        statement->option += ',' + take().text.toUpper();
    }
    const Token& value = peek();
    if (value.kind == Kind::End || value.isSymbol(";"))
        syntaxError();
    if (value.isWord("on") || value.isWord("off") || value.kind == Kind::Word ||
        value.kind == Kind::Integer || value.kind == Kind::String || value.kind == Kind::NString ||
        value.kind == Kind::Variable) {
        take();
        statement->value = value.text.toUpper();
        if (value.isSymbol("-") && peek().kind == Kind::Integer)
            statement->value = '-' + take().text;
        return statement;
    }
    if (value.isSymbol("-") && peek(1).kind == Kind::Integer) {
        take();
        statement->value = '-' + take().text;
        return statement;
    }
    syntaxError();
}

StatementPtr Parser::ifStatement() {
    take(); // If
    auto statement = std::make_unique<IfStatement>();
    statement->condition = expression();
    statement->then = this->statement();
    while (acceptSymbol(";")) {
    }
    if (acceptWord("else"))
        statement->otherwise = this->statement();
    return statement;
}

StatementPtr Parser::whileStatement() {
    take(); // While
    auto statement = std::make_unique<WhileStatement>();
    statement->condition = expression();
    statement->body = this->statement();
    return statement;
}

StatementPtr Parser::execStatement() {
    take(); // Exec
    auto statement = std::make_unique<ExecStatement>();
    if (atSymbol("(")) {
        // Exec ('text' + @v): dynamic SQL.
        take();
        do
            statement->dynamicText.push_back(additive());
        while (acceptSymbol("+"));
        expectSymbol(")");
        return statement;
    }
    if (peek().kind == Kind::Variable && atSymbol("=", 1)) {
        statement->returnVariable = take().text;
        take();
    }
    if (peek().kind == Kind::Variable)
        statement->procedureVariable = take().text;
    else
        statement->procedure = objectName();
    // A procedure group number: Name;1.
    if (atSymbol(";") && peek(1).kind == Kind::Integer) {
        take();
        take();
    }
    if (atStatementEnd() && !atWord("default") && !atWord("null"))
        return statement;
    do {
        ExecArgument argument;
        if (peek().kind == Kind::Variable && atSymbol("=", 1)) {
            argument.parameter = take().text;
            take();
        }
        if (atWord("default")) {
            take();
            argument.isDefault = true;
        } else {
            const Token& token = peek();
            // Arguments are constants or variables; a word alone is taken as text, as SQL
            // Server takes Exec P abc.
            if (token.kind == Kind::Word && !token.isWord("null") && !atSymbol("(", 1)) {
                auto literal = makeExpr(ExprKind::Literal, token.line);
                literal->literal = LiteralKind::String;
                literal->text = take().text;
                argument.value = std::move(literal);
            } else {
                argument.value = unaryExpression();
            }
            if (acceptWord("output") || acceptWord("out")) {
                if (argument.value->kind != ExprKind::Variable)
                    syntaxError();
                argument.output = true;
            }
        }
        statement->arguments.push_back(std::move(argument));
    } while (acceptSymbol(","));
    if (acceptWord("with")) {
        // With Recompile and the like change nothing here.
        do
            take();
        while (acceptSymbol(","));
    }
    return statement;
}

StatementPtr Parser::throwStatement() {
    take(); // Throw
    auto statement = std::make_unique<SimpleStatement>(StatementKind::Throw);
    if (atStatementEnd())
        return statement;
    statement->arguments.push_back(additive());
    expectSymbol(",");
    statement->arguments.push_back(additive());
    expectSymbol(",");
    statement->arguments.push_back(additive());
    return statement;
}

StatementPtr Parser::raisErrorStatement() {
    take(); // RaisError
    auto statement = std::make_unique<RaisErrorStatement>();
    expectSymbol("(");
    statement->message = expression();
    expectSymbol(",");
    statement->severity = expression();
    expectSymbol(",");
    statement->state = expression();
    while (acceptSymbol(","))
        statement->arguments.push_back(expression());
    expectSymbol(")");
    if (acceptWord("with")) {
        do {
            if (atWord("seterror"))
                statement->setError = true;
            if (!(atWord("log") || atWord("nowait") || atWord("seterror")))
                syntaxError();
            take();
        } while (acceptSymbol(","));
    }
    return statement;
}

StatementPtr Parser::transactionStatement(StatementKind kind) {
    take(); // Commit, Rollback or Save
    auto statement = std::make_unique<SimpleStatement>(kind);
    const bool transactionWord = acceptWord("tran") || acceptWord("transaction");
    if (kind == StatementKind::SaveTransaction && !transactionWord)
        syntaxError();
    if (!transactionWord && acceptWord("work"))
        return statement;
    if (transactionWord && ((peek().kind == Kind::Word && !isReserved(peek())) ||
                            peek().kind == Kind::Variable || peek().kind == Kind::QuotedName))
        statement->name = take().text;
    if (kind == StatementKind::SaveTransaction && statement->name.isEmpty())
        syntaxError();
    return statement;
}

StatementPtr Parser::cursorStatement(StatementKind kind) {
    take(); // Open, Close or Deallocate
    acceptWord("global");
    auto statement = std::make_unique<SimpleStatement>(kind);
    if (peek().kind == Kind::Variable)
        unsupported(QStringLiteral("cursor variables"));
    statement->name = name();
    return statement;
}

StatementPtr Parser::fetchStatement() {
    take(); // Fetch
    auto statement = std::make_unique<FetchStatement>();
    statement->direction = QStringLiteral("NEXT");
    if (atWord("next") || atWord("prior") || atWord("first") || atWord("last")) {
        statement->direction = take().text.toUpper();
        expectWord("from");
    } else if (atWord("absolute") || atWord("relative")) {
        statement->direction = take().text.toUpper();
        statement->offset = unaryExpression();
        expectWord("from");
    } else {
        acceptWord("from");
    }
    acceptWord("global");
    statement->cursor = name();
    if (acceptWord("into")) {
        do
            statement->into << variableName();
        while (acceptSymbol(","));
    }
    return statement;
}

StatementPtr Parser::createStatement() {
    take(); // Create
    if (acceptWord("or")) {
        expectWord("alter");
        if (atWord("proc") || atWord("procedure"))
            return createProcedure(true, true);
        if (atWord("view")) {
            auto view = createView(true);
            return view;
        }
        syntaxError();
    }
    if (atWord("table"))
        return createTable();
    if (atWord("unique")) {
        take();
        acceptWord("clustered") || acceptWord("nonclustered");
        return createIndex(true);
    }
    if (atWord("clustered") || atWord("nonclustered")) {
        take();
        return createIndex(false);
    }
    if (atWord("index"))
        return createIndex(false);
    if (atWord("view"))
        return createView(false);
    if (atWord("type"))
        return createType();
    if (atWord("proc") || atWord("procedure"))
        return createProcedure(false, false);
    if (atWord("database")) {
        take();
        auto statement = std::make_unique<DatabaseStatement>(StatementKind::CreateDatabase);
        statement->name = name();
        if (!atEnd() && !atSymbol(";"))
            unsupported(QStringLiteral("options of Create Database"));
        return statement;
    }
    if (atWord("function"))
        unsupported(QStringLiteral("user-defined functions"));
    if (atWord("trigger"))
        unsupported(QStringLiteral("triggers"));
    syntaxError();
}

StatementPtr Parser::alterStatement() {
    take(); // Alter
    if (atWord("table"))
        return alterTable();
    if (atWord("proc") || atWord("procedure"))
        return createProcedure(true, false);
    if (atWord("view"))
        return createView(true);
    syntaxError();
}

StatementPtr Parser::dropStatement() {
    take(); // Drop
    auto statement = std::make_unique<DropStatement>();
    if (acceptWord("database")) {
        auto database = std::make_unique<DatabaseStatement>(StatementKind::DropDatabase);
        database->name = name();
        return database;
    }
    if (atWord("table") || atWord("view") || atWord("index") || atWord("type") ||
        atWord("procedure") || atWord("proc")) {
        statement->objectKind = take().text.toUpper();
        if (statement->objectKind == QLatin1String("PROC"))
            statement->objectKind = QStringLiteral("PROCEDURE");
    } else {
        syntaxError();
    }
    if (atWord("if") && atWord("exists", 1)) {
        take();
        take();
        statement->ifExists = true;
    }
    do {
        ObjectName object = objectName();
        if (statement->objectKind == QLatin1String("INDEX")) {
            if (acceptWord("on")) {
                statement->tables.push_back(objectName());
            } else if (object.parts.size() >= 2) {
                // Drop Index Table.Index
                ObjectName table;
                table.parts = object.parts.mid(0, object.parts.size() - 1);
                object.parts = QStringList{object.parts.last()};
                statement->tables.push_back(table);
            } else {
                statement->tables.push_back(ObjectName());
            }
        }
        statement->names.push_back(std::move(object));
    } while (acceptSymbol(","));
    return statement;
}

StatementPtr Parser::createTable() {
    take(); // Table
    auto statement = std::make_unique<CreateTableStatement>();
    statement->name = objectName();
    expectSymbol("(");
    do {
        if (atSymbol(")"))
            break; // a trailing comma, as SQL Server allows
        if (atTableConstraint())
            statement->constraints.push_back(tableConstraint());
        else
            statement->columns.push_back(columnDefinition());
    } while (acceptSymbol(","));
    expectSymbol(")");
    // On [Primary], TextImage_On ..., With (...): storage options of SQL Server.
    for (;;) {
        if ((acceptWord("on") || acceptWord("textimage_on") || acceptWord("filestream_on"))) {
            take();
            continue;
        }
        if (atWord("with") && atSymbol("(", 1)) {
            take();
            skipIndexOptions();
            continue;
        }
        break;
    }
    return statement;
}

StatementPtr Parser::alterTable() {
    take(); // Table
    auto statement = std::make_unique<AlterTableStatement>();
    statement->table = objectName();
    if (acceptWord("with"))
        acceptWord("check") || acceptWord("nocheck");
    if (acceptWord("add")) {
        do {
            if (atTableConstraint())
                statement->addConstraints.push_back(tableConstraint());
            else
                statement->addColumns.push_back(columnDefinition());
        } while (acceptSymbol(","));
        return statement;
    }
    if (acceptWord("drop")) {
        do {
            if (acceptWord("constraint")) {
                statement->dropConstraints << name();
            } else {
                acceptWord("column");
                if (atWord("if") && atWord("exists", 1))
                    unsupported(QStringLiteral("Drop Column If Exists"));
                statement->dropColumns << name();
            }
        } while (acceptSymbol(","));
        return statement;
    }
    if (atWord("alter"))
        unsupported(QStringLiteral("Alter Table ... Alter Column"));
    syntaxError();
}

StatementPtr Parser::createIndex(bool unique) {
    expectWord("index");
    auto statement = std::make_unique<CreateIndexStatement>();
    statement->unique = unique;
    statement->name = name();
    expectWord("on");
    statement->table = objectName();
    expectSymbol("(");
    do {
        const QString column = name();
        bool descending = false;
        if (acceptWord("desc"))
            descending = true;
        else
            acceptWord("asc");
        statement->columns.emplace_back(column, descending);
    } while (acceptSymbol(","));
    expectSymbol(")");
    if (acceptWord("include"))
        statement->include = parenthesizedNames(false);
    if (acceptWord("where"))
        statement->where = expression();
    for (;;) {
        if (atWord("with") && atSymbol("(", 1)) {
            take();
            skipIndexOptions();
            continue;
        }
        if (acceptWord("on")) {
            take();
            if (atSymbol("("))
                parenthesizedNames(false);
            continue;
        }
        break;
    }
    return statement;
}

StatementPtr Parser::createView(bool alter) {
    take(); // View
    auto statement = std::make_unique<CreateViewStatement>();
    statement->alter = alter;
    statement->name = objectName();
    if (atSymbol("("))
        statement->columns = parenthesizedNames(false);
    if (acceptWord("with")) {
        do
            take();
        while (acceptSymbol(","));
    }
    expectWord("as");
    std::vector<CommonTable> with;
    if (atWord("with"))
        with = commonTables();
    auto select = std::make_unique<SelectStatement>();
    select->line = peek().line;
    select->with = std::move(with);
    select->query = query();
    statement->query = std::move(select);
    if (atWord("with") && atWord("check", 1)) {
        take();
        take();
        expectWord("option");
    }
    return statement;
}

StatementPtr Parser::createType() {
    take(); // Type
    auto statement = std::make_unique<CreateTypeStatement>();
    statement->name = objectName();
    if (atWord("as"))
        unsupported(QStringLiteral("table types"));
    expectWord("from");
    statement->base = typeName();
    if (acceptWord("not")) {
        expectWord("null");
        statement->nullable = 0;
    } else if (acceptWord("null")) {
        statement->nullable = 1;
    }
    return statement;
}

StatementPtr Parser::createProcedure(bool alter, bool createOrAlter) {
    take(); // Proc or Procedure
    auto statement = std::make_unique<CreateProcedureStatement>();
    statement->alter = alter;
    statement->createOrAlter = createOrAlter;
    statement->name = objectName();
    if (atSymbol(";") && peek(1).kind == Kind::Integer) {
        take();
        take();
    }
    const bool parenthesized = acceptSymbol("(");
    if (peek().kind == Kind::Variable) {
        do {
            ProcedureParameterDefinition parameter;
            parameter.name = variableName();
            acceptWord("as");
            parameter.type = typeName();
            acceptWord("varying");
            if (acceptSymbol("="))
                parameter.defaultValue = unaryExpression();
            if (acceptWord("output") || acceptWord("out"))
                parameter.output = true;
            if (atWord("readonly"))
                unsupported(QStringLiteral("table-valued parameters"));
            statement->parameters.push_back(std::move(parameter));
        } while (acceptSymbol(","));
    }
    if (parenthesized)
        expectSymbol(")");
    if (acceptWord("with")) {
        do {
            if (acceptWord("execute")) {
                expectWord("as");
                take();
            } else {
                take();
            }
        } while (acceptSymbol(","));
    }
    if (acceptWord("for"))
        expectWord("replication");
    expectWord("as");
    while (!atEnd()) {
        if (acceptSymbol(";"))
            continue;
        statement->body.push_back(this->statement());
    }
    // The whole batch, as SQL Server keeps it: the comments before Create are part of the text,
    // and lines count from its first line.
    statement->text = text_;
    while (!statement->text.isEmpty() && statement->text.back().isSpace())
        statement->text.chop(1);
    return statement;
}

// ---- pieces ----------------------------------------------------------------------------------

TypeName Parser::typeName() {
    TypeName type;
    type.line = peek().line;
    const ObjectName typeNameParts = objectName();
    type.name = typeNameParts.object();
    // Double Precision, Character Varying, National Character Varying.
    if (type.name.compare(QLatin1String("double"), Qt::CaseInsensitive) == 0 &&
        acceptWord("precision"))
        type.name = QStringLiteral("float");
    if (type.name.compare(QLatin1String("national"), Qt::CaseInsensitive) == 0) {
        if (acceptWord("character") || acceptWord("char"))
            type.name =
                acceptWord("varying") ? QStringLiteral("nvarchar") : QStringLiteral("nchar");
    }
    if ((type.name.compare(QLatin1String("character"), Qt::CaseInsensitive) == 0 ||
         type.name.compare(QLatin1String("char"), Qt::CaseInsensitive) == 0) &&
        acceptWord("varying"))
        type.name = QStringLiteral("varchar");
    if (acceptSymbol("(")) {
        do {
            if (acceptWord("max")) {
                type.arguments << SqlType::maxLength;
            } else if (peek().kind == Kind::Integer) {
                bool ok = false;
                const int value = take().text.toInt(&ok);
                if (!ok)
                    syntaxError();
                type.arguments << value;
            } else {
                syntaxError();
            }
        } while (acceptSymbol(","));
        expectSymbol(")");
    }
    if (acceptWord("collate"))
        type.collation = name();
    return type;
}

ColumnDefinition Parser::columnDefinition() {
    ColumnDefinition column;
    column.line = peek().line;
    column.name = name();
    if (atWord("as"))
        unsupported(QStringLiteral("computed columns"));
    column.type = typeName();
    for (;;) {
        if (acceptWord("collate")) {
            column.type.collation = name();
        } else if (acceptWord("null")) {
            column.nullable = 1;
        } else if (atWord("not") && atWord("null", 1)) {
            take();
            take();
            column.nullable = 0;
        } else if (acceptWord("identity")) {
            column.identity = true;
            if (acceptSymbol("(")) {
                const auto number = [&] {
                    const bool negative = acceptSymbol("-");
                    if (peek().kind != Kind::Integer)
                        syntaxError();
                    const qint64 value = take().text.toLongLong();
                    return negative ? -value : value;
                };
                column.identitySeed = number();
                expectSymbol(",");
                column.identityIncrement = number();
                expectSymbol(")");
            }
        } else if (acceptWord("default")) {
            column.defaultValue = unaryExpression();
        } else if (acceptWord("constraint")) {
            column.constraintName = name();
        } else if (acceptWord("primary")) {
            expectWord("key");
            column.primaryKey = true;
            acceptWord("clustered") || acceptWord("nonclustered");
            if (atWord("with") && atSymbol("(", 1)) {
                take();
                skipIndexOptions();
            }
        } else if (acceptWord("unique")) {
            column.unique = true;
            acceptWord("clustered") || acceptWord("nonclustered");
        } else if (acceptWord("check")) {
            expectSymbol("(");
            column.check = expression();
            expectSymbol(")");
        } else if (atWord("references") || atWord("foreign")) {
            if (acceptWord("foreign"))
                expectWord("key");
            column.references = references();
        } else if (acceptWord("rowguidcol") || acceptWord("sparse")) {
        } else {
            break;
        }
    }
    return column;
}

bool Parser::atTableConstraint() const {
    return atWord("constraint") || atWord("primary") || atWord("unique") ||
           (atWord("check") && atSymbol("(", 1)) || atWord("foreign") ||
           (atWord("index") && !atSymbol(",", 1));
}

TableConstraint Parser::tableConstraint() {
    TableConstraint constraint;
    if (acceptWord("constraint"))
        constraint.name = name();
    if (acceptWord("primary")) {
        expectWord("key");
        constraint.kind = TableConstraint::Kind::PrimaryKey;
        acceptWord("clustered") || acceptWord("nonclustered");
        constraint.columns = parenthesizedNames(true);
    } else if (acceptWord("unique")) {
        constraint.kind = TableConstraint::Kind::Unique;
        acceptWord("clustered") || acceptWord("nonclustered");
        constraint.columns = parenthesizedNames(true);
    } else if (acceptWord("check")) {
        constraint.kind = TableConstraint::Kind::Check;
        expectSymbol("(");
        constraint.check = expression();
        expectSymbol(")");
    } else if (acceptWord("foreign")) {
        expectWord("key");
        constraint.kind = TableConstraint::Kind::ForeignKey;
        constraint.columns = parenthesizedNames(false);
        constraint.references = references();
    } else if (atWord("index")) {
        unsupported(QStringLiteral("inline index definitions"));
    } else {
        syntaxError();
    }
    if (atWord("with") && atSymbol("(", 1)) {
        take();
        skipIndexOptions();
    }
    if (atWord("on") && !atWord("delete", 1) && !atWord("update", 1)) {
        take();
        take();
    }
    return constraint;
}

std::unique_ptr<References> Parser::references() {
    expectWord("references");
    auto target = std::make_unique<References>();
    target->table = objectName();
    if (atSymbol("("))
        target->columns = parenthesizedNames(false);
    while (atWord("on") && (atWord("delete", 1) || atWord("update", 1))) {
        take();
        QString& action = take().isWord("delete") ? target->onDelete : target->onUpdate;
        if (acceptWord("cascade"))
            action = QStringLiteral("CASCADE");
        else if (acceptWord("set"))
            action = QStringLiteral("SET ") + take().text.toUpper();
        else if (acceptWord("no") && acceptWord("action"))
            action = QStringLiteral("NO ACTION");
        else
            syntaxError();
    }
    if (atWord("not") && atWord("for", 1)) {
        take();
        take();
        expectWord("replication");
    }
    return target;
}

void Parser::skipIndexOptions() {
    expectSymbol("(");
    int depth = 1;
    while (depth > 0 && !atEnd()) {
        if (atSymbol("("))
            ++depth;
        else if (atSymbol(")"))
            --depth;
        take();
    }
}

QStringList Parser::parenthesizedNames(bool allowOrder) {
    QStringList names;
    expectSymbol("(");
    do {
        names << name();
        if (allowOrder)
            acceptWord("asc") || acceptWord("desc");
    } while (acceptSymbol(","));
    expectSymbol(")");
    return names;
}

void Parser::skipTableHints() {
    // With (NoLock), or the old form (NoLock) right after the table.
    if (atWord("with") && atSymbol("(", 1)) {
        take();
        skipIndexOptions();
        return;
    }
    if (atSymbol("(") && peek(1).kind == Kind::Word && !atQueryStart(1)) {
        static const char* const hints[] = {
            "nolock",   "readuncommitted", "readcommitted",  "rowlock",  "paglock",
            "tablock",  "tablockx",        "updlock",        "holdlock", "xlock",
            "readpast", "serializable",    "repeatableread", "nowait"};
        for (const char* hint : hints) {
            if (atWord(hint, 1)) {
                skipIndexOptions();
                return;
            }
        }
    }
}

// ---- queries ---------------------------------------------------------------------------------

bool Parser::atQueryStart(int ahead) const {
    if (atWord("select", ahead))
        return true;
    if (atSymbol("(", ahead))
        return atQueryStart(ahead + 1);
    return false;
}

QueryPtr Parser::query() {
    // Union, Except left to right; Intersect binds tighter.
    QueryPtr left = queryTerm();
    for (;;) {
        QueryExpr::Kind kind;
        if (atWord("union")) {
            take();
            kind = acceptWord("all") ? QueryExpr::Kind::UnionAll : QueryExpr::Kind::Union;
        } else if (atWord("except")) {
            take();
            kind = QueryExpr::Kind::Except;
        } else {
            break;
        }
        auto combined = std::make_unique<QueryExpr>();
        combined->kind = kind;
        combined->line = left->line;
        combined->left = std::move(left);
        combined->right = queryTerm();
        left = std::move(combined);
    }
    if (atWord("order") && atWord("by", 1)) {
        left->orderBy = orderBy();
        if (acceptWord("offset")) {
            left->offset = expression();
            if (!acceptWord("rows"))
                expectWord("row");
            if (acceptWord("fetch")) {
                if (!acceptWord("next"))
                    expectWord("first");
                left->fetch = expression();
                if (!acceptWord("rows"))
                    expectWord("row");
                expectWord("only");
            }
        }
    }
    return left;
}

QueryPtr Parser::queryTerm() {
    QueryPtr left = queryPrimary();
    while (atWord("intersect")) {
        take();
        auto combined = std::make_unique<QueryExpr>();
        combined->kind = QueryExpr::Kind::Intersect;
        combined->line = left->line;
        combined->left = std::move(left);
        combined->right = queryPrimary();
        left = std::move(combined);
    }
    return left;
}

QueryPtr Parser::queryPrimary() {
    if (acceptSymbol("(")) {
        QueryPtr inner = query();
        expectSymbol(")");
        return inner;
    }
    auto query = std::make_unique<QueryExpr>();
    query->line = peek().line;
    query->kind = QueryExpr::Kind::Spec;
    query->spec = querySpec();
    return query;
}

std::unique_ptr<QuerySpec> Parser::querySpec() {
    auto spec = std::make_unique<QuerySpec>();
    spec->line = peek().line;
    expectWord("select");
    if (acceptWord("distinct"))
        spec->distinct = true;
    else
        acceptWord("all");
    if (acceptWord("top")) {
        if (acceptSymbol("(")) {
            spec->top = expression();
            expectSymbol(")");
        } else {
            spec->top = primary();
        }
        if (acceptWord("percent"))
            spec->topPercent = true;
        if (atWord("with") && atWord("ties", 1)) {
            take();
            take();
            spec->withTies = true;
        }
    }
    do
        spec->items.push_back(selectItem());
    while (acceptSymbol(","));
    if (acceptWord("into"))
        spec->into = objectName();
    if (atWord("from"))
        spec->from = fromClause();
    if (acceptWord("where"))
        spec->where = expression();
    if (atWord("group") && atWord("by", 1)) {
        take();
        take();
        if (atWord("all"))
            unsupported(QStringLiteral("Group By All"));
        do
            spec->groupBy.push_back(expression());
        while (acceptSymbol(","));
        if (atWord("with") && (atWord("rollup", 1) || atWord("cube", 1)))
            unsupported(QStringLiteral("With Rollup and With Cube"));
    }
    if (acceptWord("having"))
        spec->having = expression();
    return spec;
}

SelectItem Parser::selectItem() {
    SelectItem item;
    const Token& first = peek();
    if (first.isSymbol("*")) {
        take();
        item.expression = makeExpr(ExprKind::Star, first.line);
        return item;
    }
    // table.* and schema.table.*
    if (first.isName()) {
        int ahead = 0;
        while (peek(ahead).isName() && atSymbol(".", ahead + 1))
            ahead += 2;
        if (ahead > 0 && atSymbol("*", ahead)) {
            auto star = makeExpr(ExprKind::Star, first.line);
            for (int i = 0; i < ahead; i += 2) {
                star->name.parts << take().text;
                take();
            }
            take();
            item.expression = std::move(star);
            return item;
        }
    }
    if (first.kind == Kind::Variable && isAssignmentSymbol(peek(1))) {
        item.variable = take().text;
        const QString op = take().text;
        if (op != QLatin1String("="))
            unsupported(QStringLiteral("compound assignment in a select list"));
        item.expression = expression();
        return item;
    }
    // alias = expression
    if ((first.kind == Kind::QuotedName || (first.kind == Kind::Word && !isReserved(first)) ||
         first.kind == Kind::String) &&
        atSymbol("=", 1)) {
        item.alias = take().text;
        take();
        item.expression = expression();
        return item;
    }
    item.expression = expression();
    if (acceptWord("as")) {
        if (peek().kind == Kind::String || peek().kind == Kind::NString)
            item.alias = take().text;
        else
            item.alias = name();
    } else if (peek().kind == Kind::QuotedName || peek().kind == Kind::String ||
               (peek().kind == Kind::Word && !isReserved(peek()))) {
        item.alias = take().text;
    }
    return item;
}

std::vector<TableSourcePtr> Parser::fromClause() {
    expectWord("from");
    std::vector<TableSourcePtr> sources;
    do
        sources.push_back(tableSource());
    while (acceptSymbol(","));
    return sources;
}

TableSourcePtr Parser::tableSource() {
    TableSourcePtr left = primaryTableSource();
    for (;;) {
        JoinKind join;
        const int line = peek().line;
        if (atWord("join")) {
            take();
            join = JoinKind::Inner;
        } else if (atWord("inner")) {
            take();
            if (atWord("loop") || atWord("hash") || atWord("merge"))
                take();
            expectWord("join");
            join = JoinKind::Inner;
        } else if (atWord("left") || atWord("right") || atWord("full")) {
            const QString word = take().text.toLower();
            acceptWord("outer");
            if (atWord("loop") || atWord("hash") || atWord("merge"))
                take();
            expectWord("join");
            join = word == QLatin1String("left")    ? JoinKind::Left
                   : word == QLatin1String("right") ? JoinKind::Right
                                                    : JoinKind::Full;
        } else if (atWord("cross") && atWord("join", 1)) {
            take();
            take();
            join = JoinKind::Cross;
        } else if ((atWord("cross") || atWord("outer")) && atWord("apply", 1)) {
            join = atWord("cross") ? JoinKind::CrossApply : JoinKind::OuterApply;
            take();
            take();
        } else {
            break;
        }
        auto combined = std::make_unique<TableSource>();
        combined->kind = TableSource::Kind::Join;
        combined->line = line;
        combined->join = join;
        combined->left = std::move(left);
        combined->right = primaryTableSource();
        if (join != JoinKind::Cross && join != JoinKind::CrossApply &&
            join != JoinKind::OuterApply) {
            expectWord("on");
            combined->condition = expression();
        }
        left = std::move(combined);
    }
    return left;
}

TableSourcePtr Parser::primaryTableSource() {
    auto source = std::make_unique<TableSource>();
    source->line = peek().line;
    if (atSymbol("(")) {
        if (atQueryStart(1) || atWord("with", 1)) {
            take();
            source->kind = TableSource::Kind::Derived;
            if (atWord("with"))
                unsupported(QStringLiteral("a common table expression inside a derived table"));
            source->query = query();
            expectSymbol(")");
        } else if (atWord("values", 1)) {
            take();
            take();
            source->kind = TableSource::Kind::Values;
            do {
                expectSymbol("(");
                std::vector<ExprPtr> row;
                do
                    row.push_back(expression());
                while (acceptSymbol(","));
                expectSymbol(")");
                source->rows.push_back(std::move(row));
            } while (acceptSymbol(","));
            expectSymbol(")");
        } else {
            // A parenthesized join.
            take();
            TableSourcePtr inner = tableSource();
            expectSymbol(")");
            return inner;
        }
        source->alias = aliasIfAny();
        if (source->alias.isEmpty())
            syntaxError();
        if (atSymbol("("))
            source->columnAliases = parenthesizedNames(false);
        return source;
    }
    if (peek().kind == Kind::Variable) {
        source->name.parts << take().text;
    } else {
        source->name = objectName();
        if (atSymbol("(") && !atWord("nolock", 1) && !atWord("readuncommitted", 1) &&
            !atWord("rowlock", 1) && !atWord("updlock", 1) && !atWord("holdlock", 1) &&
            !atWord("tablock", 1) && !atWord("tablockx", 1) && !atWord("xlock", 1) &&
            !atWord("readpast", 1) && !atWord("paglock", 1) && !atWord("readcommitted", 1) &&
            !atWord("serializable", 1) && !atWord("nowait", 1))
            unsupported(QStringLiteral("table-valued functions"));
    }
    skipTableHints();
    source->alias = aliasIfAny();
    skipTableHints();
    return source;
}

QString Parser::aliasIfAny() {
    if (acceptWord("as"))
        return name();
    const Token& token = peek();
    if (token.kind == Kind::QuotedName ||
        (token.kind == Kind::Word && !isReserved(token) && !token.isWord("cross") &&
         !token.isWord("outer") && !token.isWord("apply")))
        return take().text;
    return QString();
}

std::vector<OrderItem> Parser::orderBy() {
    expectWord("order");
    expectWord("by");
    std::vector<OrderItem> items;
    do {
        OrderItem item;
        item.expression = expression();
        if (acceptWord("desc"))
            item.descending = true;
        else
            acceptWord("asc");
        items.push_back(std::move(item));
    } while (acceptSymbol(","));
    return items;
}

// ---- expressions -----------------------------------------------------------------------------

ExprPtr Parser::expression() {
    return orExpression();
}

ExprPtr Parser::orExpression() {
    ExprPtr left = andExpression();
    while (atWord("or")) {
        const int line = take().line;
        auto combined = makeExpr(ExprKind::Or, line);
        combined->arguments.push_back(std::move(left));
        combined->arguments.push_back(andExpression());
        left = std::move(combined);
    }
    return left;
}

ExprPtr Parser::andExpression() {
    ExprPtr left = notExpression();
    while (atWord("and")) {
        const int line = take().line;
        auto combined = makeExpr(ExprKind::And, line);
        combined->arguments.push_back(std::move(left));
        combined->arguments.push_back(notExpression());
        left = std::move(combined);
    }
    return left;
}

ExprPtr Parser::notExpression() {
    if (atWord("not")) {
        const int line = take().line;
        auto negation = makeExpr(ExprKind::Not, line);
        negation->arguments.push_back(notExpression());
        return negation;
    }
    return predicate();
}

ExprPtr Parser::predicate() {
    if (atWord("exists")) {
        const int line = take().line;
        auto exists = makeExpr(ExprKind::Exists, line);
        expectSymbol("(");
        exists->query = query();
        expectSymbol(")");
        return exists;
    }
    ExprPtr left = additive();
    const int line = peek().line;
    if (isCompareSymbol(peek())) {
        auto compare = makeExpr(ExprKind::Compare, line);
        compare->op = normalizedCompare(take().text);
        if (atWord("all") || atWord("any") || atWord("some"))
            unsupported(QStringLiteral("All, Any and Some"));
        compare->arguments.push_back(std::move(left));
        compare->arguments.push_back(additive());
        return compare;
    }
    if (atWord("is")) {
        take();
        auto test = makeExpr(ExprKind::IsNull, line);
        test->negated = acceptWord("not");
        expectWord("null");
        test->arguments.push_back(std::move(left));
        return test;
    }
    bool negated = false;
    if (atWord("not") && (atWord("in", 1) || atWord("between", 1) || atWord("like", 1))) {
        take();
        negated = true;
    }
    if (acceptWord("in")) {
        expectSymbol("(");
        if (atQueryStart() || atWord("with")) {
            auto in = makeExpr(ExprKind::InQuery, line);
            in->negated = negated;
            in->arguments.push_back(std::move(left));
            in->query = query();
            expectSymbol(")");
            return in;
        }
        auto in = makeExpr(ExprKind::InList, line);
        in->negated = negated;
        in->arguments.push_back(std::move(left));
        do
            in->arguments.push_back(expression());
        while (acceptSymbol(","));
        expectSymbol(")");
        return in;
    }
    if (acceptWord("between")) {
        auto between = makeExpr(ExprKind::Between, line);
        between->negated = negated;
        between->arguments.push_back(std::move(left));
        between->arguments.push_back(additive());
        expectWord("and");
        between->arguments.push_back(additive());
        return between;
    }
    if (acceptWord("like")) {
        auto like = makeExpr(ExprKind::Like, line);
        like->negated = negated;
        like->arguments.push_back(std::move(left));
        like->arguments.push_back(additive());
        if (acceptWord("escape"))
            like->arguments.push_back(additive());
        return like;
    }
    if (negated)
        syntaxError();
    return left;
}

ExprPtr Parser::additive() {
    ExprPtr left = multiplicative();
    for (;;) {
        const Token& token = peek();
        if (!(token.isSymbol("+") || token.isSymbol("-") || token.isSymbol("&") ||
              token.isSymbol("|") || token.isSymbol("^")))
            break;
        auto combined = makeExpr(ExprKind::Binary, token.line);
        combined->op = take().text;
        combined->arguments.push_back(std::move(left));
        combined->arguments.push_back(multiplicative());
        left = std::move(combined);
    }
    return left;
}

ExprPtr Parser::multiplicative() {
    ExprPtr left = unaryExpression();
    for (;;) {
        const Token& token = peek();
        if (!(token.isSymbol("*") || token.isSymbol("/") || token.isSymbol("%")))
            break;
        auto combined = makeExpr(ExprKind::Binary, token.line);
        combined->op = take().text;
        combined->arguments.push_back(std::move(left));
        combined->arguments.push_back(unaryExpression());
        left = std::move(combined);
    }
    return left;
}

ExprPtr Parser::unaryExpression() {
    const Token& token = peek();
    if (token.isSymbol("-") || token.isSymbol("+") || token.isSymbol("~")) {
        auto unary = makeExpr(ExprKind::Unary, token.line);
        unary->op = take().text;
        unary->arguments.push_back(unaryExpression());
        return unary;
    }
    ExprPtr value = primary();
    while (atWord("collate")) {
        const int line = take().line;
        auto collate = makeExpr(ExprKind::Collate, line);
        collate->collation = name();
        collate->arguments.push_back(std::move(value));
        value = std::move(collate);
    }
    return value;
}

ExprPtr Parser::primary() {
    const Token& token = peek();
    const int line = token.line;
    switch (token.kind) {
    case Kind::Integer:
    case Kind::Number:
    case Kind::Float:
    case Kind::String:
    case Kind::NString:
    case Kind::Binary:
    case Kind::Money: {
        auto literal = makeExpr(ExprKind::Literal, line);
        literal->literal = token.kind == Kind::Integer   ? LiteralKind::Integer
                           : token.kind == Kind::Number  ? LiteralKind::Number
                           : token.kind == Kind::Float   ? LiteralKind::Float
                           : token.kind == Kind::String  ? LiteralKind::String
                           : token.kind == Kind::NString ? LiteralKind::NString
                           : token.kind == Kind::Binary  ? LiteralKind::Binary
                                                         : LiteralKind::Money;
        literal->text = take().text;
        return literal;
    }
    case Kind::Variable: {
        auto variable = makeExpr(ExprKind::Variable, line);
        variable->name.parts << take().text;
        return variable;
    }
    case Kind::System: {
        auto variable = makeExpr(ExprKind::SystemVariable, line);
        variable->name.parts << take().text;
        return variable;
    }
    case Kind::Marker: {
        auto marker = makeExpr(ExprKind::Marker, line);
        marker->number = markerNumbers_[position_];
        take();
        return marker;
    }
    case Kind::Symbol:
        if (token.isSymbol("(")) {
            take();
            if (atQueryStart() || atWord("with")) {
                if (atWord("with"))
                    unsupported(QStringLiteral("a common table expression inside a subquery"));
                auto subquery = makeExpr(ExprKind::Subquery, line);
                subquery->query = query();
                expectSymbol(")");
                return subquery;
            }
            ExprPtr inner = expression();
            expectSymbol(")");
            return inner;
        }
        syntaxError();
    case Kind::Word:
    case Kind::QuotedName:
        break;
    default:
        syntaxError();
    }

    if (token.kind == Kind::Word) {
        if (token.isWord("null")) {
            take();
            return makeExpr(ExprKind::Literal, line);
        }
        if (token.isWord("case"))
            return caseExpression();
        if (token.isWord("cast") && atSymbol("(", 1))
            return castExpression(false);
        if (token.isWord("try_cast") && atSymbol("(", 1))
            return castExpression(true);
        if (token.isWord("convert") && atSymbol("(", 1))
            return convertExpression(false);
        if (token.isWord("try_convert") && atSymbol("(", 1))
            return convertExpression(true);
        if (token.isWord("current_timestamp")) {
            take();
            auto function = makeExpr(ExprKind::Function, line);
            function->name.parts << QStringLiteral("GetDate");
            return function;
        }
        if (token.isWord("user") || token.isWord("session_user") || token.isWord("system_user") ||
            token.isWord("current_user")) {
            auto function = makeExpr(ExprKind::Function, line);
            function->name.parts << take().text;
            return function;
        }
        // Left, Right, Coalesce, NullIf, Exists are reserved but are functions before "(".
        if (isReserved(token) && !atSymbol("(", 1))
            syntaxError();
    }
    ObjectName name;
    name.parts << take().text;
    while (atSymbol(".") && (peek(1).isName())) {
        take();
        name.parts << take().text;
    }
    if (atSymbol("("))
        return functionCall(std::move(name), line);
    auto column = makeExpr(ExprKind::Column, line);
    column->name = std::move(name);
    return column;
}

ExprPtr Parser::caseExpression() {
    const int line = take().line; // Case
    auto expr = makeExpr(ExprKind::Case, line);
    if (!atWord("when"))
        expr->caseOperand = expression();
    if (!atWord("when"))
        syntaxError();
    while (acceptWord("when")) {
        ExprPtr when = expression();
        expectWord("then");
        ExprPtr then = expression();
        expr->whens.emplace_back(std::move(when), std::move(then));
    }
    if (acceptWord("else"))
        expr->elseResult = expression();
    expectWord("end");
    return expr;
}

ExprPtr Parser::castExpression(bool tryConversion) {
    const int line = take().line; // Cast
    auto expr = makeExpr(ExprKind::Cast, line);
    expr->tryConversion = tryConversion;
    expectSymbol("(");
    expr->arguments.push_back(expression());
    expectWord("as");
    expr->type = typeName();
    expectSymbol(")");
    return expr;
}

ExprPtr Parser::convertExpression(bool tryConversion) {
    const int line = take().line; // Convert
    auto expr = makeExpr(ExprKind::Cast, line);
    expr->tryConversion = tryConversion;
    expectSymbol("(");
    expr->type = typeName();
    expectSymbol(",");
    expr->arguments.push_back(expression());
    if (acceptSymbol(",")) {
        expr->arguments.push_back(expression());
        expr->hasStyle = true;
    }
    expectSymbol(")");
    return expr;
}

ExprPtr Parser::functionCall(ObjectName name, int line) {
    auto function = makeExpr(ExprKind::Function, line);
    function->name = std::move(name);
    expectSymbol("(");
    if (!atSymbol(")")) {
        if (acceptWord("distinct"))
            function->distinct = true;
        else
            acceptWord("all");
        do {
            if (atSymbol("*")) {
                function->arguments.push_back(makeExpr(ExprKind::Star, take().line));
            } else {
                function->arguments.push_back(expression());
            }
        } while (acceptSymbol(","));
    }
    expectSymbol(")");
    if (atWord("within"))
        unsupported(QStringLiteral("Within Group"));
    if (acceptWord("over")) {
        function->over = std::make_unique<OverClause>();
        expectSymbol("(");
        if (atWord("partition")) {
            take();
            expectWord("by");
            do
                function->over->partitionBy.push_back(expression());
            while (acceptSymbol(","));
        }
        if (atWord("order") && atWord("by", 1))
            function->over->orderBy = orderBy();
        if (atWord("rows") || atWord("range")) {
            // The frame is read as SQLite reads it: copied word by word.
            QStringList words;
            while (!atSymbol(")") && !atEnd())
                words << take().text;
            function->over->frame = words.join(' ');
        }
        expectSymbol(")");
    }
    return function;
}

} // namespace db::tsql

#pragma once

#include "db/embedded/tsql/Ast.h"
#include "db/embedded/tsql/Lexer.h"

#include <QString>

#include <vector>

namespace db::tsql {

// Reads one T-SQL batch (the text between two lines "Go") into its statements. A text it cannot
// read throws TsqlError with SQL Server's number and wording ("Incorrect syntax near '%s'.",
// 102; "Incorrect syntax near the keyword '%s'.", 156) and the line it stopped at; a construct
// the engine does not run ("Goto", "Merge", "Output" clauses...) throws TsqlError 40000 naming it.
class Parser {
public:
    static Batch parseBatch(const QString& text);
    // One expression alone (a column default, a check); throws as parseBatch.
    static ExprPtr parseExpression(const QString& text);

private:
    explicit Parser(const QString& text);

    // tokens
    const Token& peek(int ahead = 0) const;
    const Token& take();
    bool atWord(const char* word, int ahead = 0) const;
    bool atSymbol(const char* symbol, int ahead = 0) const;
    bool acceptWord(const char* word);
    bool acceptSymbol(const char* symbol);
    void expectWord(const char* word);
    void expectSymbol(const char* symbol);
    bool atEnd() const { return peek().kind == Token::Kind::End; }
    [[noreturn]] void syntaxError() const;
    [[noreturn]] void syntaxError(const Token& token) const;
    [[noreturn]] void unsupported(const QString& what) const;
    QString name();          // an identifier, without quotes
    ObjectName objectName(); // a.b.c
    QString variableName();  // @name
    bool atStatementEnd() const;

    // statements
    StatementPtr statement();
    StatementList statementsUntilEnd(const char* second = nullptr);
    StatementPtr beginStatement();
    StatementPtr selectStatement(std::vector<CommonTable> with);
    StatementPtr withStatement();
    std::vector<CommonTable> commonTables();
    StatementPtr insertStatement(std::vector<CommonTable> with);
    StatementPtr updateStatement(std::vector<CommonTable> with);
    StatementPtr deleteStatement(std::vector<CommonTable> with);
    StatementPtr declareStatement();
    StatementPtr setStatement();
    StatementPtr ifStatement();
    StatementPtr whileStatement();
    StatementPtr execStatement();
    StatementPtr throwStatement();
    StatementPtr raisErrorStatement();
    StatementPtr transactionStatement(StatementKind kind);
    StatementPtr cursorStatement(StatementKind kind);
    StatementPtr fetchStatement();
    StatementPtr createStatement();
    StatementPtr alterStatement();
    StatementPtr dropStatement();
    StatementPtr createTable();
    StatementPtr createIndex(bool unique);
    StatementPtr createView(bool alter);
    StatementPtr createType();
    StatementPtr createProcedure(bool alter, bool createOrAlter);
    StatementPtr alterTable();

    // pieces
    TypeName typeName();
    ColumnDefinition columnDefinition();
    bool atTableConstraint() const;
    TableConstraint tableConstraint();
    std::unique_ptr<References> references();
    void skipIndexOptions();
    QStringList parenthesizedNames(bool allowOrder);
    void skipTableHints();

    // queries
    QueryPtr query();
    QueryPtr queryTerm();
    QueryPtr queryPrimary();
    std::unique_ptr<QuerySpec> querySpec();
    SelectItem selectItem();
    std::vector<TableSourcePtr> fromClause();
    TableSourcePtr tableSource();
    TableSourcePtr primaryTableSource();
    QString aliasIfAny();
    std::vector<OrderItem> orderBy();
    bool atQueryStart(int ahead = 0) const;

    // expressions
    ExprPtr expression();
    ExprPtr orExpression();
    ExprPtr andExpression();
    ExprPtr notExpression();
    ExprPtr predicate();
    ExprPtr additive();
    ExprPtr multiplicative();
    ExprPtr unaryExpression();
    ExprPtr primary();
    ExprPtr caseExpression();
    ExprPtr castExpression(bool tryConversion);
    ExprPtr convertExpression(bool tryConversion);
    ExprPtr functionCall(ObjectName name, int line);
    ExprPtr makeExpr(ExprKind kind, int line) const;

    QString text_;
    std::vector<Token> tokens_;
    std::vector<int> markerNumbers_;
    std::size_t position_ = 0;
    int markers_ = 0;
};

} // namespace db::tsql

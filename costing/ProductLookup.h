#pragma once

#include <QString>

// Whether a product code names a product of the company, the code compared as the month
// run's product filter compares it (as the server compares text: without regard to case or
// trailing blanks). A run for one product checks its code first, so that a mistyped code is
// refused instead of calculating nothing.
class ProductLookup {
public:
    // On the connection with that alias.
    static bool exists(const QString& databaseName, const QString& code);
    // What a window shows when its product code names no product.
    static QString notFound(const QString& code);
};

#pragma once

#include <QString>
#include <QStringList>

// Which of the server procedures a run calls are missing from the company database. A run
// checks before it calculates anything and is refused when any is missing.
class ProcedureCheck {
public:
    // What the average-cost run checks, in the order the message names them.
    static QStringList averageCost();
    // What the FIFO run checks: the average cost's four, then the three FIFO procedures and
    // SeekMasterWorkOrder, which the run calls for its work orders.
    static QStringList fifo();

    // The names of the list that the company database of that connection has no object of,
    // in the order of the list.
    static QStringList missing(const QString& databaseName, const QStringList& names);
    // "ไม่พบ" (not found), each name on its own line and "กรุณาแจ้ง TRQ" (please notify TRQ).
    static QString message(const QStringList& missing);
};

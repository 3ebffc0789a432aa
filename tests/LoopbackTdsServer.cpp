#include "LoopbackTdsServer.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <memory>

namespace {

// Packet types and tokens of the TDS protocol.
constexpr quint8 sqlBatch = 0x01;
constexpr quint8 rpcRequest = 0x03;
constexpr quint8 tabularResult = 0x04;
constexpr quint8 attention = 0x06;
constexpr quint8 login7 = 0x10;
constexpr quint8 preLogin = 0x12;

constexpr quint8 colMetadataToken = 0x81;
constexpr quint8 errorToken = 0xAA;
constexpr quint8 loginAckToken = 0xAD;
constexpr quint8 rowToken = 0xD1;
constexpr quint8 doneToken = 0xFD;
constexpr quint8 doneProcToken = 0xFE;

constexpr quint16 doneError = 0x0002;
constexpr quint16 doneCount = 0x0010;
constexpr quint16 doneAttention = 0x0020;

constexpr quint8 decimalType = 0x6A;
constexpr quint8 moneyType = 0x6E;

void putU16(QByteArray& out, quint16 value) {
    out.append(char(value & 0xFF)).append(char(value >> 8));
}

void putU32(QByteArray& out, quint32 value) {
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void putU64(QByteArray& out, quint64 value) {
    for (int i = 0; i < 8; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// A text with its length in characters in one byte (B_VARCHAR) or two (US_VARCHAR).
void putShortText(QByteArray& out, const QString& text) {
    out.append(char(text.size()));
    out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

void putText(QByteArray& out, const QString& text) {
    putU16(out, quint16(text.size()));
    out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QByteArray done(quint8 token, quint16 status, quint64 rows = 0) {
    QByteArray out;
    out.append(char(token));
    putU16(out, status);
    putU16(out, 0xC1); // the current command: a SELECT
    putU64(out, rows);
    return out;
}

QString utf16At(const QByteArray& payload, qsizetype offset, qsizetype characters) {
    if (offset < 0 || offset + characters * 2 > payload.size())
        return {};
    QString text(characters, Qt::Uninitialized);
    for (qsizetype i = 0; i < characters; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(payload.constData() + offset + 2 * i));
    return text;
}

// A field of the login packet: its offset and its length in characters stand at `at`.
QString loginField(const QByteArray& payload, qsizetype at) {
    if (at + 4 > payload.size())
        return {};
    const auto offset = qFromLittleEndian<quint16>(payload.constData() + at);
    const auto length = qFromLittleEndian<quint16>(payload.constData() + at + 2);
    return utf16At(payload, offset, length);
}

// The login packet hides the password: each byte's halves swapped, then XOR 0xA5.
QString loginPassword(const QByteArray& payload) {
    const auto offset = qFromLittleEndian<quint16>(payload.constData() + 44);
    const auto length = qFromLittleEndian<quint16>(payload.constData() + 46);
    QByteArray plain = payload.mid(offset, length * 2);
    for (auto& byte : plain) {
        const auto value = quint8(byte) ^ 0xA5;
        byte = char(((value & 0x0F) << 4) | (value >> 4));
    }
    return utf16At(plain, 0, length);
}

// The pre-login's INSTOPT option: the instance the client asks for.
QString preLoginInstance(const QByteArray& payload) {
    for (qsizetype at = 0; at + 5 <= payload.size() && quint8(payload[at]) != 0xFF; at += 5) {
        if (payload[at] != 0x02)
            continue;
        const auto offset = qFromBigEndian<quint16>(payload.constData() + at + 1);
        const auto length = qFromBigEndian<quint16>(payload.constData() + at + 3);
        return QString::fromLatin1(payload.mid(offset, length)).remove(QChar(0));
    }
    return {};
}

QByteArray preLoginAnswer() {
    // VERSION, ENCRYPTION (not supported, so the login comes in the clear), INSTOPT, MARS.
    const std::vector<std::pair<quint8, QByteArray>> options{
        {0x00, QByteArray::fromHex("100003e80000")},
        {0x01, QByteArray::fromHex("02")},
        {0x02, QByteArray::fromHex("00")},
        {0x04, QByteArray::fromHex("00")}};
    QByteArray header;
    QByteArray data;
    const auto start = quint16(options.size() * 5 + 1);
    for (const auto& [token, value] : options) {
        header.append(char(token));
        const auto offset = quint16(start + data.size());
        header.append(char(offset >> 8)).append(char(offset & 0xFF));
        header.append(char(value.size() >> 8)).append(char(value.size() & 0xFF));
        data += value;
    }
    return header + char(0xFF) + data;
}

QByteArray loginRefused(const QString& user) {
    const auto text = QStringLiteral("Login failed for user '%1'.").arg(user);
    QByteArray body;
    putU32(body, 18456);
    body.append(char(1)).append(char(14)); // state, class
    putText(body, text);
    putShortText(body, QStringLiteral("LOOPBACK"));
    putShortText(body, QString());
    putU32(body, 1);
    QByteArray out;
    out.append(char(errorToken));
    putU16(out, quint16(body.size()));
    return out + body + done(doneToken, doneError);
}

QByteArray loginAccepted() {
    QByteArray body;
    body.append(char(1)); // T-SQL
    body += QByteArray::fromHex("730b0003");
    putShortText(body, QStringLiteral("Microsoft SQL Server"));
    body += QByteArray::fromHex("100003e8");
    QByteArray out;
    out.append(char(loginAckToken));
    putU16(out, quint16(body.size()));
    return out + body + done(doneToken, 0);
}

// A decimal text as its unscaled digits, for a column of that scale.
QByteArray unscaled(const QString& text, int scale, bool& negative) {
    QString digits = text.trimmed();
    negative = digits.startsWith('-');
    if (negative)
        digits.remove(0, 1);
    const auto point = digits.indexOf('.');
    QString fraction = point >= 0 ? digits.mid(point + 1) : QString();
    digits = point >= 0 ? digits.left(point) : digits;
    fraction = fraction.leftJustified(scale, '0', true);
    return (digits + fraction).toLatin1();
}

// The little-endian bytes of a non-negative whole number given in decimal digits.
QByteArray littleEndianBytes(const QByteArray& decimalDigits, int size) {
    std::vector<quint8> bytes(size_t(size), 0);
    for (const char digit : decimalDigits) {
        unsigned carry = unsigned(digit - '0');
        for (auto& byte : bytes) {
            const unsigned value = unsigned(byte) * 10 + carry;
            byte = quint8(value & 0xFF);
            carry = value >> 8;
        }
    }
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), size);
}

int decimalSize(int precision) {
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

} // namespace

struct LoopbackTdsServer::Client {
    std::unique_ptr<QTcpSocket> socket;
    QByteArray buffer;
    QByteArray message;
    quint8 messageType = 0;
    QString user;
};

LoopbackTdsServer::LoopbackTdsServer(Options options) : options_(std::move(options)) {
    thread_ = std::thread([this] { serve(); });
    std::unique_lock lock(mutex_);
    listening_.wait_for(lock, std::chrono::seconds(10), [this] { return started_; });
}

LoopbackTdsServer::~LoopbackTdsServer() {
    stop_ = true;
    thread_.join();
}

std::vector<LoopbackTdsServer::LoginRecord> LoopbackTdsServer::logins() const {
    std::lock_guard lock(mutex_);
    return logins_;
}

QStringList LoopbackTdsServer::batches() const {
    std::lock_guard lock(mutex_);
    return batches_;
}

int LoopbackTdsServer::attentions() const {
    std::lock_guard lock(mutex_);
    return attentions_;
}

void LoopbackTdsServer::serve() {
    QTcpServer server;
    const bool listening = server.listen(QHostAddress::LocalHost, 0);
    {
        std::lock_guard lock(mutex_);
        port_ = listening ? server.serverPort() : 0;
        started_ = true;
    }
    listening_.notify_all();
    if (!listening)
        return;

    std::vector<Client> clients;
    int accepted = 0;
    const QDeadlineTimer end(options_.lifetime);
    while (!stop_ && !end.hasExpired()) {
        if (accepted < options_.maxConnections && server.waitForNewConnection(20)) {
            while (auto* socket = server.nextPendingConnection()) {
                clients.push_back({std::unique_ptr<QTcpSocket>(socket), {}, {}, 0, {}});
                ++accepted;
            }
        }
        for (auto& client : clients) {
            if (client.socket->bytesAvailable() == 0 && !client.socket->waitForReadyRead(20))
                continue;
            client.buffer += client.socket->readAll();
            // A message may come in several packets; the last one has the end-of-message bit.
            while (client.buffer.size() >= 8) {
                const auto length = qFromBigEndian<quint16>(client.buffer.constData() + 2);
                if (length < 8 || client.buffer.size() < length)
                    break;
                const auto type = quint8(client.buffer[0]);
                const bool last = (quint8(client.buffer[1]) & 0x01) != 0;
                client.messageType = type;
                client.message += client.buffer.mid(8, length - 8);
                client.buffer.remove(0, length);
                if (last) {
                    const auto message = std::exchange(client.message, {});
                    handle(client, type, message);
                }
            }
        }
        std::erase_if(clients, [](const Client& client) {
            return client.socket->state() == QAbstractSocket::UnconnectedState;
        });
        if (accepted >= options_.maxConnections && clients.empty())
            break;
    }
}

void LoopbackTdsServer::handle(Client& client, quint8 type, const QByteArray& payload) {
    switch (type) {
    case preLogin: {
        LoginRecord record;
        record.preLogin = payload;
        record.preLoginInstance = preLoginInstance(payload);
        {
            std::lock_guard lock(mutex_);
            logins_.push_back(record);
        }
        answer(client, preLoginAnswer());
        break;
    }
    case login7: {
        if (payload.size() < 94)
            break;
        {
            std::lock_guard lock(mutex_);
            if (logins_.empty())
                logins_.emplace_back();
            auto& record = logins_.back();
            record.tdsVersion = qFromLittleEndian<quint32>(payload.constData() + 4);
            record.hostName = loginField(payload, 36);
            record.userName = loginField(payload, 40);
            record.password = loginPassword(payload);
            record.appName = loginField(payload, 48);
            record.serverName = loginField(payload, 52);
            record.database = loginField(payload, 68);
            client.user = record.userName;
        }
        if (options_.login == Login::Refuse) {
            answer(client, loginRefused(client.user));
            client.socket->disconnectFromHost();
        } else {
            answer(client, loginAccepted());
        }
        break;
    }
    case sqlBatch: {
        // Headers first (their total length leads), then the text.
        const auto headers =
            payload.size() >= 4 ? qFromLittleEndian<quint32>(payload.constData()) : 0u;
        const auto text = utf16At(payload, headers, (payload.size() - headers) / 2);
        {
            std::lock_guard lock(mutex_);
            batches_ << text;
        }
        if (!options_.hangOn.isEmpty() && text.contains(options_.hangOn, Qt::CaseInsensitive))
            break;
        if (text.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
            answer(client, resultTokens());
        else
            answer(client, done(doneToken, 0));
        break;
    }
    case rpcRequest:
        answer(client, done(doneProcToken, 0));
        break;
    case attention: {
        {
            std::lock_guard lock(mutex_);
            ++attentions_;
        }
        if (options_.acknowledgeAttention)
            answer(client, done(doneToken, doneAttention));
        break;
    }
    default:
        break;
    }
}

void LoopbackTdsServer::answer(Client& client, const QByteArray& tokens) const {
    QByteArray packet;
    packet.append(char(tabularResult)).append(char(0x01));
    const auto length = quint16(tokens.size() + 8);
    packet.append(char(length >> 8)).append(char(length & 0xFF));
    packet.append(QByteArray::fromHex("00000100"));
    client.socket->write(packet + tokens);
    client.socket->waitForBytesWritten(1000);
}

QByteArray LoopbackTdsServer::resultTokens() const {
    QByteArray out;
    out.append(char(colMetadataToken));
    putU16(out, quint16(options_.columns.size()));
    for (const auto& column : options_.columns) {
        putU32(out, 0);      // user type
        putU16(out, 0x0001); // nullable
        if (column.precision == 0) {
            out.append(char(moneyType)).append(char(8));
        } else {
            out.append(char(decimalType)).append(char(decimalSize(column.precision)));
            out.append(char(column.precision)).append(char(column.scale));
        }
        putShortText(out, column.name);
    }
    for (const auto& row : options_.rows) {
        out.append(char(rowToken));
        for (size_t i = 0; i < options_.columns.size(); ++i) {
            const auto& column = options_.columns[i];
            const QString value = qsizetype(i) < row.size() ? row[qsizetype(i)] : QString();
            if (value.isEmpty()) {
                out.append(char(0));
                continue;
            }
            bool negative = false;
            if (column.precision == 0) {
                // money: the value times 10,000 as a 64-bit number, its high half first.
                const auto digits = unscaled(value, 4, negative);
                auto amount = qint64(digits.toLongLong());
                if (negative)
                    amount = -amount;
                out.append(char(8));
                putU32(out, quint32(quint64(amount) >> 32));
                putU32(out, quint32(quint64(amount) & 0xFFFFFFFFu));
            } else {
                const int size = decimalSize(column.precision);
                const auto digits = unscaled(value, column.scale, negative);
                out.append(char(size));
                out.append(char(negative ? 0 : 1));
                out += littleEndianBytes(digits, size - 1);
            }
        }
    }
    return out + done(doneToken, doneCount, options_.rows.size());
}

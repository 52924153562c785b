#pragma once

#include <QByteArray>
#include <QIODevice>

// A request body that can be read once. When a connection closes before any answer, the
// HTTP stack sends the request again if it can rewind its body; a link-creating POST must
// not go out twice, so its body cannot be rewound and the request fails instead.
class OneShotBody : public QIODevice
{
    Q_OBJECT

public:
    explicit OneShotBody(QByteArray body, QObject *parent = nullptr);

    [[nodiscard]] bool isSequential() const override { return true; }
    [[nodiscard]] qint64 bytesAvailable() const override;
    [[nodiscard]] bool atEnd() const override;
    bool reset() override { return false; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QByteArray m_body;
    qint64 m_position = 0;
};

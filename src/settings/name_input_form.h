#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <vector>

class QLabel;

// The name composer: a name of at most 12 items and 40 characters, built from the Greek
// capitals, the digits, "-", "/" and the unit's fixed words, in the unit's own encoding.
class NameInputFrm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMaxItems = 12;
    static constexpr int kMaxCharacters = 40;

    explicit NameInputFrm(const QString& title, QWidget* parent = nullptr);

    // Appends one item (a character code or kDeviceWordMarker followed by a word number);
    // false, changing nothing, when the name would grow past its limits.
    bool Append(const QByteArray& item);
    void RemoveLast();
    QString Text() const;
    QString NameCodeString() const;

private:
    QByteArray Bytes() const;
    void Show();

    std::vector<QByteArray> items_;
    QLabel* preview_;
};

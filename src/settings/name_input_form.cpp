#include "name_input_form.h"

#include <link/device_text.h>
#include <link/hex_text.h>
#include <ui/button_row.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <span>

namespace {
std::span<const quint8> AsBytes(const QByteArray& bytes)
{
    return {reinterpret_cast<const quint8*>(bytes.constData()), std::size_t(bytes.size())};
}
} // namespace

NameInputFrm::NameInputFrm(const QString& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    preview_ = new QLabel(this);
    preview_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    preview_->setMinimumHeight(28);

    auto* keys = new QGridLayout;
    QByteArray codes;
    for (int c = 128; c <= 151; ++c)
        codes.append(char(c));
    codes.append("0123456789-/");
    for (int k = 0; k < codes.size(); ++k) {
        const QByteArray item(1, codes[k]);
        auto* key = new QPushButton(DecodeDeviceText(AsBytes(item), 0), this);
        key->setFixedWidth(36);
        connect(key, &QPushButton::clicked, this, [this, item] { Append(item); });
        keys->addWidget(key, k / 12, k % 12);
    }
    auto* words = new QListWidget(this);
    for (int n = 1; n <= kDeviceWordCount; ++n)
        words->addItem(DeviceWord(n));
    connect(words, &QListWidget::itemDoubleClicked, this, [this, words] {
        QByteArray word;
        word.append(char(kDeviceWordMarker)).append(char(words->currentRow() + 1));
        Append(word);
    });
    auto* erase = new QPushButton(QStringLiteral("Διαγραφή"), this);
    connect(erase, &QPushButton::clicked, this, &NameInputFrm::RemoveLast);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ΟΚ"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Άκυρο"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    KeepReturnKey(this, buttons->button(QDialogButtonBox::Ok));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(preview_);
    layout->addLayout(keys);
    layout->addWidget(words);
    layout->addWidget(erase);
    layout->addWidget(buttons);
}

QByteArray NameInputFrm::Bytes() const
{
    QByteArray bytes;
    for (const QByteArray& item : items_)
        bytes += item;
    return bytes;
}

bool NameInputFrm::Append(const QByteArray& item)
{
    items_.push_back(item);
    if (int(items_.size()) > kMaxItems || Text().size() > kMaxCharacters) {
        items_.pop_back();
        return false;
    }
    Show();
    return true;
}

void NameInputFrm::RemoveLast()
{
    if (!items_.empty())
        items_.pop_back();
    Show();
}

QString NameInputFrm::Text() const
{
    return DecodeDeviceText(AsBytes(Bytes()), 0);
}

QString NameInputFrm::NameCodeString() const
{
    return HexZString(AsBytes(Bytes()), 0);
}

void NameInputFrm::Show()
{
    preview_->setText(Text());
}

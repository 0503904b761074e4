#include "sample_image.h"

#include "../common/fake_prompter.h"

#include <settings/system_settings_form.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

struct Shown
{
    FakePrompter prompter;
    SystemSettingsFrm form{prompter};
    explicit Shown(const QRect& room)
    {
        FillSettingsForm(form, 0, "TELVARON-1E", SampleImage(TwentyMap()));
        form.FitInto(room);
        form.show();
        QCoreApplication::processEvents();
    }
    void Page(int index)
    {
        form.SSTab1->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }
    QScrollArea* Scroll(int index) const { return qobject_cast<QScrollArea*>(form.SSTab1->widget(index)); }
};

QRect InForm(const QWidget* w, const QWidget* form)
{
    return QRect(w->mapTo(form, QPoint()), w->size());
}

// One heading "Καταγραφή Συμβάντων" stands over the columns "Εντός" and "Εκτός".
TEST(SettingsFormLayout, OneEventLoggingHeadingOverItsTwoColumns)
{
    Shown s(QRect(0, 0, 1920, 1080));
    s.Page(3);
    SystemSettingsFrm& d = s.form;
    EXPECT_EQ(d.Label37->text(), "Καταγραφή Συμβάντων");
    EXPECT_EQ(d.Label41->text(), "Εντός");
    EXPECT_EQ(d.Label42->text(), "Εκτός");
    const QRect heading = InForm(d.Label37, &d);
    const QRect within = InForm(d.Label41, &d);
    const QRect outside = InForm(d.Label42, &d);
    const QRect withinToggle = InForm(d.Check3[0], &d);
    const QRect outsideToggle = InForm(d.Check4[0], &d);
    EXPECT_LE(heading.bottom(), std::min(within.top(), outside.top()));
    EXPECT_LE(heading.left(), withinToggle.left());
    EXPECT_GE(heading.right(), outsideToggle.right());
    EXPECT_TRUE(withinToggle.contains(within.center().x(), withinToggle.center().y()));
    EXPECT_TRUE(outsideToggle.contains(outside.center().x(), outsideToggle.center().y()));
    EXPECT_LE(within.bottom(), withinToggle.top());
    for (const QLabel* label : d.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().startsWith("Καταγραφή Συμβάντων ")) << label->text().toStdString();
}

// Within a screen's available area the window fits with its frame, the OK and Cancel buttons and
// every tab show, and a page that does not fit scrolls; from 1280x800 up every caption is whole
// and no page scrolls sideways.
TEST(SettingsFormLayout, FitsTheScreenWithEveryControlWithinReach)
{
    for (const QSize screen : {QSize(1024, 768), QSize(1280, 800), QSize(1920, 1080)}) {
        SCOPED_TRACE(::testing::Message() << screen.width() << "x" << screen.height());
        const bool roomy = screen.width() >= 1280;
        Shown s(QRect(QPoint(), screen));
        SystemSettingsFrm& d = s.form;
        // The frame round the window, as Qt's own dialog placement reckons it.
        EXPECT_LE(d.width() + 10, screen.width());
        EXPECT_LE(d.height() + 40, screen.height());
        for (const QPushButton* button : {d.Command1, d.Command2}) {
            EXPECT_TRUE(button->isVisible());
            EXPECT_TRUE(d.rect().contains(InForm(button, &d)));
        }
        const QTabBar* tabs = d.SSTab1->tabBar();
        for (int t = 0; t < tabs->count(); ++t) {
            EXPECT_TRUE(tabs->rect().contains(tabs->tabRect(t))) << t;
            if (roomy) {
                EXPECT_GE(tabs->tabRect(t).width(), tabs->fontMetrics().horizontalAdvance(tabs->tabText(t)))
                    << t;
            }
        }
        for (int t = 0; t < d.SSTab1->count(); ++t) {
            SCOPED_TRACE(t);
            s.Page(t);
            const QScrollArea* scroll = s.Scroll(t);
            ASSERT_NE(scroll, nullptr);
            const QWidget* page = scroll->widget();
            EXPECT_GE(page->width(), page->minimumSizeHint().width());
            EXPECT_GE(page->height(), page->minimumSizeHint().height());
            if (!roomy)
                continue;
            EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
            for (const QLabel* label : page->findChildren<QLabel*>()) {
                if (label->isVisible() && !label->text().isEmpty()) {
                    EXPECT_GE(label->width(), label->minimumSizeHint().width())
                        << label->text().toStdString();
                }
            }
            for (const QPushButton* toggle : page->findChildren<QPushButton*>())
                EXPECT_GE(toggle->contentsRect().width(),
                          toggle->fontMetrics().horizontalAdvance(toggle->text()))
                    << toggle->text().toStdString();
        }
    }
}

} // namespace

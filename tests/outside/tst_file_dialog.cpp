// The save-file dialog: chosen path back, empty on cancel, filter suffix added, overwrite asked.
#include "Custom_QFileDialog.h"
#include "widget_test_helpers.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testhelp;

TEST(FileDialogSuffix, TakesFirstConcretePattern)
{
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter("csv File (*.csv)"), "csv");
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter("txt File (*.txt *.text)"), "txt");
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter("All Files (*.*)"), "");
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter("All (*)"), "");
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter(""), "");
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter("*.csv"), "csv");
    EXPECT_EQ(Custom_QFileDialog::suffixOfFilter("broken (*.c?v"), "");
}

namespace {
// Types a bare file name into the dialog's name field and accepts, as a user does.
void typeNameAndAccept(const QString& name, QWidget* except = nullptr)
{
    onNextModal([name](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(fd, nullptr);
        auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setText(name);
        static_cast<QDialog*>(fd)->accept();
    }, 5000, except);
}
}  // namespace

TEST(FileDialogSave, AddsSuffixOfFilterWhenNoneTyped)
{
    QTemporaryDir dir;
    typeNameAndAccept("table");
    const QString path = Custom_QFileDialog::getSaveFileName(nullptr, "Select File", dir.path(),
                                                             "csv File (*.csv)");
    EXPECT_EQ(path, dir.filePath("table.csv"));

    typeNameAndAccept("notes.dat");
    const QString kept = Custom_QFileDialog::getSaveFileName(nullptr, "Select File", dir.path(),
                                                             "txt File (*.txt);;All Files (*.*)");
    EXPECT_EQ(kept, dir.filePath("notes.dat"));
}

TEST(FileDialogSave, CancelGivesEmptyText)
{
    QTemporaryDir dir;
    answerNextFileDialog(QString());
    QString filter = "unchanged";
    EXPECT_TRUE(Custom_QFileDialog::getSaveFileName(nullptr, "Select File", dir.path(), "csv File (*.csv)",
                                                    &filter).isEmpty());
    EXPECT_EQ(filter, "unchanged");
}

TEST(FileDialogSave, AsksBeforeOverwriting)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("old.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    // First answer No to the overwrite question: the dialog stays open, then cancel it.
    QWidget* fileDialog = nullptr;
    bool asked = false;
    onNextModal([&](QWidget* w) {
        fileDialog = w;
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(fd, nullptr);
        fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("old.csv");
        onNextModal([&](QWidget* box) {
            auto* mb = qobject_cast<QMessageBox*>(box);
            asked = mb != nullptr;
            if (mb)
                mb->button(QMessageBox::No)->click();
            QTimer::singleShot(50, fileDialog, [&] { static_cast<QDialog*>(fileDialog)->reject(); });
        }, 5000, w);
        static_cast<QDialog*>(fd)->accept();
    });
    const QString path = Custom_QFileDialog::getSaveFileName(nullptr, "Select File", dir.path(),
                                                             "csv File (*.csv)");
    EXPECT_TRUE(asked);
    EXPECT_TRUE(path.isEmpty());
}

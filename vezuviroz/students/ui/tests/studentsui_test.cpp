#include "choosestudentf.h"
#include "codec.h"
#include "colourdialog.h"
#include "filedialogrecorder.h"
#include "klassesf.h"
#include "messagerecorder.h"
#include "studentsf.h"
#include "studentsfixture.h"
#include "studentswindows.h"
#include "testhome.h"
#include "viewsettingsf.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

template <typename T> T* child(QWidget* w, const char* name)
{
    T* found = w->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void click(QWidget* w, const char* name)
{
    child<QPushButton>(w, name)->click();
}

QStringList rows(QAbstractItemView* view)
{
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        names.append(view->model()->index(row, 0).data().toString());
    return names;
}

// Types into the cell of the current row as the teacher would, and leaves the editor open.
void typeIntoCurrentCell(QTableView* view, const QString& text)
{
    // Closed editors linger until the event loop deletes them: the open one is the current cell's.
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
    ASSERT_NE(editor, nullptr) << "a cell is being edited";
    editor->setText(text);
}

QString writeFile(const QString& name, const QByteArray& bytes)
{
    QFile f(testPath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

// Acts on the modal window that the next call opens, as the teacher would.
void whenModal(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

QDialogButtonBox* buttons(QWidget* w)
{
    return w->findChild<QDialogButtonBox*>();
}

} // namespace

using StudentsWindowsTest = StudentsFixture;

TEST_F(StudentsWindowsTest, ClassesAreAddedSavedDeletedAndKeptWhenTheWindowCloses)
{
    addKlass("7А");
    TKlassesF w(&dm);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Классы");
    auto* view = child<QTableView>(&w, "gridKlasses");
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), "Класс");
    EXPECT_EQ(child<QPushButton>(&w, "btnAppend")->text(), "Добавить класс");
    EXPECT_EQ(child<QPushButton>(&w, "btnRemove")->text(), "Удалить класс");
    EXPECT_EQ(child<QPushButton>(&w, "btnPost")->text(), "Сохранить изменения");
    EXPECT_EQ(child<QPushButton>(&w, "btnCancel")->text(), "Отменить изменения");
    EXPECT_FALSE(child<QPushButton>(&w, "btnPost")->isEnabled());

    click(&w, "btnAppend");
    typeIntoCurrentCell(view, "7Б");
    EXPECT_TRUE(child<QPushButton>(&w, "btnPost")->isEnabled());
    click(&w, "btnPost");
    EXPECT_EQ(storedValue("SELECT group_concat(Klass, '|') FROM Klasses").toString(), "7А|7Б");
    EXPECT_FALSE(child<QPushButton>(&w, "btnPost")->isEnabled());

    // "Отменить изменения" drops a new class.
    click(&w, "btnAppend");
    typeIntoCurrentCell(view, "лишний");
    click(&w, "btnCancel");
    EXPECT_EQ(rows(view), (QStringList{"7А", "7Б"}));

    view->setCurrentIndex(view->model()->index(0, 0));
    click(&w, "btnRemove");
    EXPECT_EQ(storedValue("SELECT group_concat(Klass, '|') FROM Klasses").toString(), "7Б");

    // A class typed in and not saved is stored when the window closes.
    click(&w, "btnAppend");
    typeIntoCurrentCell(view, "8В");
    QMetaObject::invokeMethod(view, "commitData", Q_ARG(QWidget*, view->indexWidget(view->currentIndex())));
    w.reject();
    EXPECT_EQ(storedValue("SELECT group_concat(Klass, '|') FROM Klasses").toString(), "7Б|8В");
}

TEST_F(StudentsWindowsTest, StudentsWindowImportsAFileOfThreeLinesInOrder)
{
    const int klass7a = addKlass("7А");
    const int klass7b = addKlass("7Б");
    addStudent("Петров", klass7b);
    TStudentsF w(&dm);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Студенты");
    auto* chooser = child<QComboBox>(&w, "cbKlass");
    EXPECT_EQ(chooser->currentText(), "7А");
    auto* view = child<QTableView>(&w, "gridStudents");
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), "Фамилия");
    const QStringList captions{"Первый", "Предыдущий", "Следующий",           "Последний",
                               "Новый",  "Удалить",    "Сохранить изменения", "Отменить изменения"};
    const char* names[] = {"btnFirst",  "btnPrior",  "btnNext", "btnLast",
                           "btnAppend", "btnRemove", "btnPost", "btnCancel"};
    for (int i = 0; i < captions.size(); ++i)
        EXPECT_EQ(child<QPushButton>(&w, names[i])->text(), captions[i]);
    EXPECT_EQ(child<QPushButton>(&w, "btnImport")->toolTip(), "Импорт из текстового файла");
    EXPECT_EQ(child<QPushButton>(&w, "btnMove")->toolTip(), "Перебросить выделенного в другой класс");

    FileDialogRecorder files({writeFile("7a.txt", QString("Сидоров\r\nАбрамов\r\nКузнецова\r\n").toUtf8())});
    click(&w, "btnImport");
    ASSERT_EQ(files.requests.size(), 1);
    EXPECT_EQ(files.requests[0].filter, "Текстовые файлы (*.txt);;Все файлы (*.*)");
    EXPECT_EQ(storedNames(klass7a), (QStringList{"Сидоров", "Абрамов", "Кузнецова"}));
    EXPECT_EQ(rows(view), (QStringList{"Абрамов", "Кузнецова", "Сидоров"}));

    // The other class, a Windows-1251 file.
    chooser->setCurrentIndex(1);
    Q_EMIT chooser->activated(1);
    EXPECT_EQ(rows(view), QStringList{"Петров"});
    FileDialogRecorder old({writeFile("7b.txt", toCp1251("Щукин\r\nЁлкина\r\nЮдин"))});
    click(&w, "btnImport");
    EXPECT_EQ(storedNames(klass7b), (QStringList{"Петров", "Щукин", "Ёлкина", "Юдин"}));
    // Cancelling the file dialog adds nobody.
    FileDialogRecorder cancelled;
    click(&w, "btnImport");
    EXPECT_EQ(cancelled.requests.size(), 1);
    EXPECT_EQ(storedNames().size(), 7);
}

TEST_F(StudentsWindowsTest, WithoutAClassImportAndKeysAreRefusedAndPointToTheChooser)
{
    addKlass("7А");
    TStudentsF w(&dm);
    w.show();
    w.list().clearKlass();
    auto* chooser = child<QComboBox>(&w, "cbKlass");
    EXPECT_EQ(chooser->currentIndex(), -1);
    MessageRecorder messages;
    FileDialogRecorder files;
    click(&w, "btnImport");
    EXPECT_EQ(messages.texts, QStringList{"Сначала нужно выбрать класс."});
    EXPECT_TRUE(files.requests.isEmpty());
    EXPECT_TRUE(chooser->view()->isVisible());
    chooser->hidePopup();

    QTest::keyClick(child<QTableView>(&w, "gridStudents"), Qt::Key_A);
    EXPECT_EQ(messages.texts.size(), 2);
    EXPECT_EQ(messages.texts.last(), "Сначала нужно выбрать класс.");
    EXPECT_TRUE(chooser->view()->isVisible());
    chooser->hidePopup();
    EXPECT_EQ(storedNames().size(), 0);
}

TEST_F(StudentsWindowsTest, AnotherClassMovesTheSelectedStudent)
{
    const int klass7a = addKlass("7А");
    const int klass7b = addKlass("7Б");
    addStudent("Иванов", klass7a);
    addStudent("Антонов", klass7a);
    TStudentsF w(&dm);
    w.show();
    auto* view = child<QTableView>(&w, "gridStudents");
    view->setCurrentIndex(view->model()->index(1, 0)); // Иванов
    auto* move = child<QPushButton>(&w, "btnMove");
    move->click();
    auto* hint = child<QLabel>(&w, "lblMoveHint");
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), "Теперь выберите нужный класс");
    auto* chooser = child<QComboBox>(&w, "cbKlass");
    EXPECT_TRUE(chooser->view()->isVisible());
    chooser->hidePopup();
    chooser->setCurrentIndex(1);
    Q_EMIT chooser->activated(1);
    EXPECT_FALSE(move->isChecked());
    EXPECT_FALSE(hint->isVisible());
    EXPECT_EQ(storedNames(klass7b), QStringList{"Иванов"});
    EXPECT_EQ(chooser->currentText(), "7А");
    EXPECT_EQ(rows(view), QStringList{"Антонов"});
}

TEST_F(StudentsWindowsTest, StudentsWindowWithoutAnyClassOpensTheClassesWindow)
{
    MessageRecorder messages;
    QString opened;
    whenModal([&](QWidget* modal) {
        opened = modal->windowTitle();
        modal->close();
    });
    ShowStudentsWindow(&dm);
    EXPECT_EQ(messages.texts, QStringList{"Сначала следует создать хотя бы один класс."});
    EXPECT_EQ(opened, "Классы");

    addKlass("7А");
    whenModal([&](QWidget* modal) {
        opened = modal->windowTitle();
        modal->close();
    });
    ShowStudentsWindow(&dm);
    EXPECT_EQ(opened, "Студенты");
    EXPECT_EQ(messages.texts.size(), 1);
}

class StudentChoiceWindowTest : public ChoiceFixture
{
protected:
    static void clickKlass(TChooseStudentF& w, int row, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        auto* grid = w.findChild<QTableWidget*>("gridKlasses");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers,
                          grid->visualRect(grid->model()->index(row, 0)).center());
    }
};

TEST_F(StudentChoiceWindowTest, CtrlChoosesTwoClassesAndCancelRestoresListAndLabel)
{
    TChooseStudentF w(&dm, "все");
    w.show();
    EXPECT_EQ(w.windowTitle(), "Выбор студента на PC1");
    auto* names = child<QListView>(&w, "lstStudents");
    auto* label = child<QLabel>(&w, "lblKlass");
    auto* all = child<QCheckBox>(&w, "cbAllKlasses");
    EXPECT_EQ(label->text(), "");
    EXPECT_TRUE(all->isChecked());
    EXPECT_EQ(rows(names), (QStringList{"Антонов", "Иванов", "Петров", "Сидоров"}));

    clickKlass(w, 0, Qt::NoModifier);
    clickKlass(w, 1);
    EXPECT_EQ(rows(names), (QStringList{"Антонов", "Иванов", "Петров"}));
    EXPECT_EQ(label->text(), "7А, 7Б");
    EXPECT_FALSE(all->isChecked());
    names->setCurrentIndex(names->model()->index(1, 0));

    buttons(&w)->button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_EQ(w.choice().resultLabel(), "все");
    EXPECT_EQ(column(*dm.sqlStudents, "Name"), (QStringList{"Антонов", "Иванов", "Петров", "Сидоров"}));
    EXPECT_EQ(studentOf(pc1), 0);
}

TEST_F(StudentChoiceWindowTest, ADoubleClickOnANameSavesTheRow)
{
    TChooseStudentF w(&dm, "все");
    w.show();
    clickKlass(w, 2, Qt::NoModifier);
    auto* names = child<QListView>(&w, "lstStudents");
    EXPECT_EQ(rows(names), QStringList{"Сидоров"});
    names->doItemsLayout(); // the event loop would lay the new list out
    const QPoint at = names->visualRect(names->model()->index(0, 0)).center();
    // A double click is a click and then the double-click event, as the system sends them.
    QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(names->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(studentOf(pc1), sidorov);

    // Ticking "все классы" clears the class grid and lists everybody.
    TChooseStudentF again(&dm, "8В");
    again.show();
    EXPECT_EQ(rows(child<QListView>(&again, "lstStudents")), QStringList{"Сидоров"});
    EXPECT_EQ(child<QListView>(&again, "lstStudents")->currentIndex().row(), 0);
    clickKlass(again, 0, Qt::NoModifier);
    child<QCheckBox>(&again, "cbAllKlasses")->setChecked(true);
    EXPECT_TRUE(again.findChild<QTableWidget*>("gridKlasses")->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(child<QLabel>(&again, "lblKlass")->text(), "Все");
    EXPECT_EQ(rows(child<QListView>(&again, "lstStudents")).size(), 4);
}

TEST_F(StudentChoiceWindowTest, TheEntryPointGivesTheLabelToShow)
{
    whenModal([](QWidget* modal) {
        auto* w = qobject_cast<TChooseStudentF*>(modal);
        ASSERT_NE(w, nullptr);
        w->choice().selectKlasses({1});
        w->choice().chooseRow(0);
        w->accept();
    });
    const StudentChoiceResult ok = ShowStudentChoice(&dm, "все");
    EXPECT_TRUE(ok.accepted);
    EXPECT_EQ(ok.klassLabel, "7Б");
    EXPECT_EQ(studentOf(pc1), petrov);

    whenModal([](QWidget* modal) {
        qobject_cast<TChooseStudentF*>(modal)->choice().selectKlasses({0, 2});
        modal->close();
    });
    const StudentChoiceResult cancelled = ShowStudentChoice(&dm, ok.klassLabel);
    EXPECT_FALSE(cancelled.accepted);
    EXPECT_EQ(cancelled.klassLabel, "7Б");
    EXPECT_EQ(column(*dm.sqlStudents, "Name"), QStringList{"Петров"});
    EXPECT_EQ(studentOf(pc1), petrov);
}

class ViewSettingsWindowTest : public StudentsFixture
{
protected:
    void SetUp() override
    {
        store->execute("INSERT INTO VezuvirozSettings (PageScroller_Height, QueFontColor, QueBGColor, AnsFontColor, "
                       "AnsBGColor, RightAnsFontColor, QueFontSize, AnsFontSize) VALUES (349, 1, 2, 3, 4, 5, 10, 11)");
        dm.sqlAppSettings->requery();
    }
    ~ViewSettingsWindowTest() override { SetColourDialogHandler({}); }
    QString stored()
    {
        return storedValue(
                   "SELECT QueFontColor || ' ' || QueBGColor || ' ' || AnsFontColor || ' ' || AnsBGColor || "
                   "' ' || RightAnsFontColor || ' ' || QueFontSize || ' ' || AnsFontSize FROM VezuvirozSettings")
            .toString();
    }
};

TEST_F(ViewSettingsWindowTest, DefaultsAndOkStoreTheSevenValues)
{
    TViewSettingsF w(dm.sqlAppSettings);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Настройка вида Student");
    EXPECT_EQ(child<QLabel>(&w, "lblQuestionSample")->text(), "Текст вопроса (размер 10)");
    EXPECT_EQ(child<QLabel>(&w, "lblAnswerSample")->text(), "Текст варианта ответа (размер: 11)");
    EXPECT_EQ(child<QLabel>(&w, "lblQuestionSize")->text(), "Размер шрифта вопроса: 10");
    EXPECT_EQ(child<QLabel>(&w, "lblAnswerSize")->text(), "Размер шрифта варианта ответа: 11");
    auto* slider = child<QSlider>(&w, "tbQueFontSize");
    EXPECT_EQ(slider->minimum(), 8);
    EXPECT_EQ(slider->maximum(), 18);
    EXPECT_EQ(slider->value(), 10);

    click(&w, "btnDefaults");
    EXPECT_EQ(slider->value(), 14);
    EXPECT_EQ(child<QLabel>(&w, "lblAnswerSample")->text(), "Текст варианта ответа (размер: 14)");
    EXPECT_EQ(stored(), "1 2 3 4 5 10 11");
    buttons(&w)->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(stored(), "65535 14260127 0 16768480 54272 14 14");
}

TEST_F(ViewSettingsWindowTest, TheColourDialogAndTheSlidersChangeSamplesAndCancelStoresNothing)
{
    QStringList asked;
    QList<QColor> initial;
    std::optional<QColor> answer = QColor(0x10, 0x20, 0x30);
    SetColourDialogHandler([&](const QColor& start, const QString& title) {
        asked.append(title);
        initial.append(start);
        return answer;
    });
    {
        TViewSettingsF w(dm.sqlAppSettings);
        click(&w, "btnQueBGColor");
        EXPECT_EQ(initial.last(), QColor(2, 0, 0));
        EXPECT_TRUE(child<QLabel>(&w, "lblQuestionSample")->styleSheet().contains("background: #102030"));
        child<QSlider>(&w, "tbAnsFontSize")->setValue(17);
        EXPECT_EQ(child<QLabel>(&w, "lblAnswerSize")->text(), "Размер шрифта варианта ответа: 17");
        w.reject();
    }
    EXPECT_EQ(stored(), "1 2 3 4 5 10 11");

    TViewSettingsF w(dm.sqlAppSettings);
    const char* colourButtons[] = {"btnQueFontColor", "btnQueBGColor", "btnAnsFontColor", "btnAnsBGColor",
                                   "btnRightAnsFontColor"};
    for (const char* name : colourButtons)
        click(&w, name);
    EXPECT_EQ(asked.mid(1), (QStringList{"Цвет текста", "Цвет фона", "Цвет текста", "Цвет фона",
                                         "Цвет правильного варианта ответа"}));
    // A cancelled colour dialog changes nothing.
    answer.reset();
    click(&w, "btnRightAnsFontColor");
    child<QSlider>(&w, "tbQueFontSize")->setValue(8);
    buttons(&w)->button(QDialogButtonBox::Ok)->click();
    const QString c = QString::number(0x302010);
    EXPECT_EQ(stored(), QString("%1 %1 %1 %1 %1 8 11").arg(c));
}

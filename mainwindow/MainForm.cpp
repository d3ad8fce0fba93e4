#include "MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "ChildLock.h"
#include "ErrorReport.h"
#include "MainFormLayout.h"
#include "Piano.h"
#include "SheetView.h"
#include "Twips.h"

namespace tinko {

namespace {

constexpr QSize kClientSize(twipsToPixels(17220), twipsToPixels(10395));    // 1148 x 693
constexpr QPoint kClientPosition(twipsToPixels(1665), twipsToPixels(615));  // on the screen
const QColor kBackground(64, 64, 64);
// Below this the controls' text is no longer readable: a smaller screen
// clips the layout rather.
constexpr double kSmallestScale = 0.5;

}  // namespace

PropertyBag savedPianoProperties() {
    PropertyBag properties;
    properties.WriteProperty(QStringLiteral("autoplay"), false);
    properties.WriteProperty(QStringLiteral("myinse"), 0);
    return properties;
}

MainForm::MainForm(MainFormParts parts, QWidget* parent)
    : QMainWindow(parent),
      hosts_(std::move(parts.hosts)),
      midiOut_(parts.midiOut),
      externalBrowser_(parts.externalBrowser),
      aboutBox_(parts.aboutBox),
      settingsFile_(std::move(parts.settingsFile)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(mainFormCaption(hosts_.maker));
    // A fixed single border: closable, not resizable, no maximize or minimize.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    applyMainFormFont(*this);

    // In the window, even where the desktop would show menus elsewhere: the
    // window's size and its three commands on the bar depend on it.
    menuBar()->setNativeMenuBar(false);
    buildMainMenu(*menuBar());
    buildControls(std::move(parts.browser), parts.pianoProperties);
    connectCommands();
    songFolders_ = parts.songFolders;
    buildSongMenu(std::move(parts.songFolders));
    buildRecordEntry(parts.recorder, parts.messages);
    // The stored place is that of the client area, below the title and the
    // menu bar; the frame goes round it.
    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(kClientSize + QSize(0, menuHeight));
    setGeometry(QRect(kClientPosition - QPoint(0, menuHeight), size()));
    buildParentMenu(std::move(parts.keyboardHold), parts.childLock);
    connectMidiPorts(parts.midiPorts, parts.straightInput);

    Form_Load();
}

MainForm::~MainForm() {
    if (midiPorts_ != nullptr) {
        midiPorts_->listen(nullptr);
        midiPorts_->onKeyboardsChanged(nullptr);
    }
    // The player goes while the keyboard it plays on is still there.
    delete songPlayer_;
    songPlayer_ = nullptr;
}

void MainForm::buildControls(std::unique_ptr<WebBrowser> browser,
                             const PropertyBag& pianoProperties) {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientSize);
    // The client area is dark; the menu bar keeps the desktop's colours.
    QPalette colours = client->palette();
    colours.setColor(QPalette::Window, kBackground);
    client->setPalette(colours);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    Piano1 = new Piano(midiOut_, client);
    Piano1->setObjectName(QStringLiteral("Piano1"));
    place(Piano1, twipsRect(0, 360, 17175, 2670));
    // Start-up goes on past an error, which is reported like any other: a
    // child's piano opens even when a stored setting is bad.
    guarded([&] { Piano1->ReadProperties(pianoProperties); });

    Combo1 = new QComboBox(client);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    place(Combo1, twipsRect(0, 0, 17175, 315));
    // The wheel over it chooses without taking the keys: a key held on the
    // keyboard meanwhile sounds on.
    Combo1->setFocusPolicy(Qt::StrongFocus);

    WebBrowser1 = browser.release();
    WebBrowser1->setParent(client);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    place(WebBrowser1, twipsRect(120, 3720, 16935, 6375));
    WebBrowser1->setFocusPolicy(Qt::StrongFocus);
    sheet_ = new notation::SheetView(client);
    place(sheet_, WebBrowser1->geometry());
    sheet_->hide();

    tabOrder_ = {Piano1, Combo1, WebBrowser1};
    for (const CommandButton& entry : kCommandButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), client);
        button->setObjectName(QString::fromLatin1(entry.name));
        place(button, twipsRect(entry.left, entry.top, entry.width, entry.height));
        button->setAutoDefault(false);
        tabOrder_.push_back(button);
    }
    for (std::size_t i = 1; i < tabOrder_.size(); ++i) {
        setTabOrder(tabOrder_[i - 1], tabOrder_[i]);
    }

    connect(Combo1, &QComboBox::activated, this, [this] {
        guarded([this] { Combo1_Click(); });
        // Give the keys back to the piano, or the list would take them and
        // change the instrument by type-ahead.
        Piano1->setFocus(Qt::OtherFocusReason);
    });
    connect(Piano1, &Piano::KeyDown, this, &MainForm::Piano1_KeyDown);
    connect(Piano1, &Piano::KeyUp, this, &MainForm::Piano1_KeyUp);
    Piano1->setFocus(Qt::OtherFocusReason);
}

void MainForm::place(QWidget* control, QRect place) {
    control->setGeometry(place);
    places_.emplace_back(control, place);
}

QSize MainForm::fitLayout(QSize room) {
    const int menuHeight = menuBar()->sizeHint().height();
    const double scale =
        std::clamp(std::min(static_cast<double>(room.width()) / kClientSize.width(),
                            static_cast<double>(room.height() - menuHeight) / kClientSize.height()),
                   kSmallestScale, 1.0);
    QWidget* client = centralWidget();
    if (scale != layoutScale_) {
        layoutScale_ = scale;
        const auto scaled = [scale](int length) {
            return static_cast<int>(std::lround(length * scale));
        };
        // Edges scaled, not sizes, so that neighbours still meet.
        const auto scaledRect = [&](QRect place) {
            return QRect(QPoint(scaled(place.left()), scaled(place.top())),
                         QPoint(scaled(place.right() + 1) - 1, scaled(place.bottom() + 1) - 1));
        };
        client->setFixedSize(scaled(kClientSize.width()), scaled(kClientSize.height()));
        QFont text;  // the window's, at full size
        if (scale < 1.0) {
            text = font();
            text.setPointSizeF(font().pointSizeF() * scale);
        }
        client->setFont(text);
        Piano1->setZoom(scale);
        for (const auto& [control, place] : places_) {
            control->setGeometry(scaledRect(place));
        }
    }
    return client->size() + QSize(0, menuHeight);
}

void MainForm::Form_Load() {
    // Silent when there is no device: nothing to report. A stored instrument
    // too large to send is reported; the device is open all the same.
    guarded([this] { Piano1->OpenDevices(); });
    Piano1->setAutoPlay(true);
    for (std::int32_t program = 0; program <= 127; ++program) {
        Combo1->addItem(Piano1->GetMidiMu(program));
    }
    CurYinSe = Piano1->mYinSe();
    if (CurYinSe >= 0 && CurYinSe < Combo1->count()) {
        setListIndex(CurYinSe);
    } else {
        // A stored instrument the list does not offer: show none, send none.
        Combo1->setCurrentIndex(-1);
    }
}

void MainForm::setListIndex(int index) {
    // Setting the selection counts as a click on the list, even when the
    // entry was already selected.
    Combo1->setCurrentIndex(index);
    Combo1_Click();
}

void MainForm::Combo1_Click() {
    CurYinSe = Combo1->currentIndex();
    Piano1->ChangeYinSe(CurYinSe);
    if (midiKeyboard_) {
        midiKeyboard_->setInstrument(CurYinSe);
    }
}

void MainForm::Form_Unload() {
    if (!unloaded_) {
        unloaded_ = true;
        songPlayer_->stop();
        if (recorder_ != nullptr && recorder_->recording()) {
            finishRecording();  // what the child played is kept
        }
        Piano1->CloseDevices();
    }
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (!childLock_->mayLeave()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

bool MainForm::focusNextPrevChild(bool next) {
    // Qt's focus chain alone is not enough: the browser's engine adds widgets
    // of its own to it, at its end, as pages come and go. The order stays
    // the one above, and leaving a page goes on from the browser's place.
    const QWidget* focused = QApplication::focusWidget();
    const auto current = std::find_if(tabOrder_.begin(), tabOrder_.end(), [&](QWidget* entry) {
        return entry == focused || entry->isAncestorOf(focused);
    });
    if (current == tabOrder_.end()) {
        return QMainWindow::focusNextPrevChild(next);
    }
    const auto count = static_cast<std::ptrdiff_t>(tabOrder_.size());
    const std::ptrdiff_t index = (current - tabOrder_.begin() + (next ? 1 : count - 1)) % count;
    tabOrder_[static_cast<std::size_t>(index)]->setFocus(next ? Qt::TabFocusReason
                                                              : Qt::BacktabFocusReason);
    return true;
}

void MainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Piano1->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace tinko

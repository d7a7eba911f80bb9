#include "app/program_dlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QShortcut>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <iterator>
#include <system_error>

#include "app/about_dlg.h"
#include "app/data_exchange.h"
#include "app/help_dlg.h"
#include "app/password_validator.h"
#include "app/system_menu.h"
#include "jobs/run_job.h"

namespace app {

namespace {

// The icon size of the window system (SM_CXICON, SM_CYICON).
constexpr int kIconSize = 32;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

// The message map: every message the dialog answers and its handler, in
// this order; messages not in it go to the base dialog.
struct MessageMapEntry {
  Message message;
  int controlId;  // for WM_COMMAND: the button
  void (*handler)(CprogramDlg& dialog, unsigned id, std::intptr_t param);
};

const MessageMapEntry kMessageMap[] = {
    {Message::WM_SYSCOMMAND, 0,
     [](CprogramDlg& d, unsigned id, std::intptr_t param) {
       d.OnSysCommand(id, param);
     }},
    {Message::WM_PAINT, 0,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnPaint(); }},
    {Message::WM_QUERYDRAGICON, 0,
     [](CprogramDlg& d, unsigned, std::intptr_t) {
       static_cast<void>(d.OnQueryDragIcon());
     }},
    {Message::WM_COMMAND, IDC_BROWSE_INPUT,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnBrowseInput(); }},
    {Message::WM_COMMAND, IDC_BROWSE_OUTPUT,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnBrowseOutput(); }},
    {Message::WM_COMMAND, IDOK,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnOkCommand(); }},
    {Message::WM_COMMAND, IDC_HELP_BUTTON,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnShowHelp(); }},
    {Message::WM_COMMAND, IDCANCEL,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnCancelButton(); }},
    {Message::WM_COMMAND, IDC_START,
     [](CprogramDlg& d, unsigned, std::intptr_t) { d.OnStart(); }},
};

}  // namespace

CprogramDlg::CprogramDlg()
    : CDialog(res::kMainDialog),
      m_openPicker([] {
        return QFileDialog::getOpenFileName(nullptr, {}, {}, {}, nullptr, {});
      }),
      m_savePicker([] {
        return QFileDialog::getSaveFileName(nullptr, {}, {}, {}, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
      }) {
  m_hIcon.addFile(":/icons/program-48.png");
  m_hIcon.addFile(":/icons/program-32.png");
  m_hIcon.addFile(":/icons/program-16.png");
  jobWindow_ = std::make_unique<DialogJobWindow>(
      *this, *dynamic_cast<QProgressBar*>(GetDlgItem(IDC_PROGRESS)),
      *GetDlgItem(IDC_START));
  workerEnded_ = new ThreadCall([this] { OnWorkerEnded(); }, this);
  auto* password = dynamic_cast<QLineEdit*>(GetDlgItem(IDC_PASSWORD));
  password->setValidator(new Windows1251Validator(password));
  setAcceptDrops(true);
}

CprogramDlg::~CprogramDlg() {
  // The dialog only closes once its worker has ended; should it be
  // destroyed under one all the same, the job is cancelled, its message
  // closed, and the worker waited for, with the events it waits on handled.
  if (worker_.joinable()) {
    m_running.store(0);
    while (!workerReturned_.load()) {
      if (QMessageBox* box = FinalMessageBox()) {
        box->close();
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(1);
    }
    if (worker_.joinable()) {  // unless OnWorkerEnded has joined it
      worker_.join();
    }
  }
}

QMessageBox* CprogramDlg::FinalMessageBox() const {
  return jobWindow_->FinalMessageBox();
}

bool CprogramDlg::Dispatch(Message message, unsigned id, std::intptr_t param) {
  const auto* entry =
      std::find_if(std::begin(kMessageMap), std::end(kMessageMap),
                   [message, id](const MessageMapEntry& candidate) {
                     return candidate.message == message &&
                            (message != Message::WM_COMMAND ||
                             candidate.controlId == static_cast<int>(id));
                   });
  if (entry == std::end(kMessageMap)) {
    return false;
  }
  entry->handler(*this, id, param);
  return true;
}

void CprogramDlg::OnCommand(int id) {
  if (!Dispatch(Message::WM_COMMAND, static_cast<unsigned>(id))) {
    CDialog::OnCommand(id);
  }
}

void CprogramDlg::DoDataExchange(CDataExchange& dx) {
  DDX_Text(dx, IDC_INPUT_PATH, m_inputPath);
  DDX_Text(dx, IDC_OUTPUT_PATH, m_outputPath);
  DDX_Text(dx, IDC_PASSWORD, m_password);
  DDV_MaxChars(dx, m_password, 20);
}

bool CprogramDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  BuildSystemMenu();
  setWindowIcon(m_hIcon);
  const std::pair<int, const char*> texts[] = {
      {IDC_INPUT_LABEL, "входен файл:"},
      {IDC_OUTPUT_LABEL, "изходен файл:"},
      {IDC_PASSWORD_LABEL, "парола:"},
      {IDC_START, "добре"},
      {IDCANCEL, "отказ"},
  };
  for (const auto& [id, text] : texts) {
    GetDlgItem(id)->setProperty("text", QString::fromUtf8(text));
  }
  return true;
}

void CprogramDlg::BuildSystemMenu() {
  const QString aboutText = FromUtf8(res::kAboutMenuText);
  if (aboutText.isEmpty()) {
    return;
  }
  if (HasNativeSystemMenu()) {
    AppendToNativeSystemMenu(*this, aboutText, IDM_ABOUTBOX);
    return;
  }
  // The window system's menu, rebuilt: its usual commands, then the About
  // entry below a separator. The context menu and Alt+Space open it.
  systemMenu_ = new QMenu(this);
  systemMenu_->setObjectName("systemMenu");
  const auto addCommand = [this](const QString& text, unsigned command) {
    connect(systemMenu_->addAction(text), &QAction::triggered, this,
            [this, command] { Dispatch(Message::WM_SYSCOMMAND, command); });
  };
  addCommand("Mi&nimize", kSysCommandMinimize);
  addCommand("&Close\tAlt+F4", kSysCommandClose);
  systemMenu_->addSeparator();
  addCommand(aboutText, IDM_ABOUTBOX);
  auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
  connect(shortcut, &QShortcut::activated, this,
          [this] { systemMenu_->popup(mapToGlobal(QPoint(0, 0))); });
}

void CprogramDlg::contextMenuEvent(QContextMenuEvent* event) {
  if (systemMenu_ != nullptr) {
    systemMenu_->popup(event->globalPos());
  }
}

#ifdef _WIN32
bool CprogramDlg::nativeEvent(const QByteArray& eventType, void* message,
                              qintptr* result) {
  if (const std::optional<SysCommand> command =
          NativeSysCommand(eventType, message)) {
    sysCommandHandled_ = true;
    Dispatch(Message::WM_SYSCOMMAND, command->id, command->param);
    if (sysCommandHandled_) {
      *result = 0;
      return true;
    }
  }
  return false;
}
#endif

void CprogramDlg::OnSysCommand(unsigned nID, std::intptr_t /*lParam*/) {
  if ((nID & 0xFFF0U) == IDM_ABOUTBOX) {
    CAboutDlg dlgAbout;
    ShowWindow(SW_HIDE);
    dlgAbout.DoModal();
    ShowWindow(SW_SHOW);
  } else {
    DefaultSysCommand(nID);
  }
}

void CprogramDlg::DefaultSysCommand(unsigned nID) {
  if (HasNativeSystemMenu()) {
    sysCommandHandled_ = false;  // the window system carries it out
    return;
  }
  if ((nID & 0xFFF0U) == kSysCommandMinimize) {
    showMinimized();
  } else if ((nID & 0xFFF0U) == kSysCommandClose) {
    close();
  }
}

void CprogramDlg::paintEvent(QPaintEvent* event) {
  paintEvent_ = event;
  Dispatch(Message::WM_PAINT, 0);
  paintEvent_ = nullptr;
}

void CprogramDlg::OnPaint() {
  if (isMinimized()) {
    // Where the window system paints a minimised window's client area, it
    // shows the icon in the middle.
    QPainter painter(this);
    const QRect client = rect();
    const int x = (client.width() - kIconSize + 1) / 2;
    const int y = (client.height() - kIconSize + 1) / 2;
    m_hIcon.paint(&painter, x, y, kIconSize, kIconSize);
  } else {
    CDialog::paintEvent(paintEvent_);
  }
}

QIcon CprogramDlg::OnQueryDragIcon() const { return m_hIcon; }

void CprogramDlg::SetPickedPath(int boxId, const QString& path) {
  if (!path.isEmpty()) {
    const QString shown = QDir::toNativeSeparators(path);
    const std::string text = shown.toStdString();
    const std::string name = QFile::encodeName(shown).toStdString();
    if (boxId == IDC_INPUT_PATH) {
      m_inputPath = text;
      m_inputPathBuffer = name;
    } else {
      m_outputPath = text;
      m_outputPathBuffer = name;
      outputPickedDuringJob_ = worker_.joinable();
    }
  }
  UpdateData(false);
}

void CprogramDlg::OnBrowseInput() {
  SetPickedPath(IDC_INPUT_PATH, m_openPicker ? m_openPicker() : QString());
}

void CprogramDlg::OnBrowseOutput() {
  SetPickedPath(IDC_OUTPUT_PATH, m_savePicker ? m_savePicker() : QString());
}

void CprogramDlg::OnOkCommand() {}

void CprogramDlg::OnShowHelp() {
  dlg_1 dlg;
  ShowWindow(SW_HIDE);
  dlg.DoModal();
  ShowWindow(SW_SHOW);
}

void CprogramDlg::OnCancelButton() {
  if (m_running.load() == 1) {
    m_running.store(0);
    return;
  }
  if (worker_.joinable()) {
    // The worker is still ending (cleaning up, or its message is open): the
    // dialog closes as soon as it has returned.
    closeWhenWorkerEnds_ = true;
    return;
  }
  OnCancel();
}

void CprogramDlg::OnStart() {
  // A worker that is still ending after a Cancel keeps using the job's
  // fields; a new job waits until it has returned.
  if (m_running.load() != 0 || worker_.joinable()) {
    return;
  }
  UpdateData(true);
  request_ = {m_inputPath, m_inputPathBuffer, m_outputPath, m_outputPathBuffer,
              m_password};
  outputPickedDuringJob_ = false;
  m_running.store(1);
  workerReturned_.store(false);
  try {
    worker_ = std::thread([this] {
      jobWindow_->EnableStartButton(false);
      result_ = jobs::RunJob(request_, m_running, *jobWindow_);
      jobWindow_->ShowMessage(result_.message);
      jobWindow_->EnableStartButton(true);
      m_running.store(0);
      // Posted while the dialog is certain to exist: it does not go away
      // before workerReturned_ is set.
      workerEnded_->Post();
      workerReturned_.store(true);
    });
  } catch (const std::system_error&) {
    // No thread: the flag stays set, so starts are ignored until a Cancel
    // clears it, and the Cancel after that closes the dialog.
  }
}

void CprogramDlg::OnWorkerEnded() {
  if (!worker_.joinable()) {
    return;
  }
  worker_.join();
  // The names the job extended, unless a pick has replaced them meanwhile.
  if (!outputPickedDuringJob_) {
    m_outputPath = result_.outputText;
    m_outputPathBuffer = result_.outputPath;
  }
  outputPickedDuringJob_ = false;
  if (closeWhenWorkerEnds_) {
    closeWhenWorkerEnds_ = false;
    OnCancel();
  }
}

int CprogramDlg::PathBoxAt(const QPoint& point) const {
  for (const int id : {IDC_INPUT_PATH, IDC_OUTPUT_PATH}) {
    if (GetDlgItem(id)->geometry().contains(point)) {
      return id;
    }
  }
  return 0;
}

namespace {

// The one local file a drag carries, or nothing.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
      !data->urls().front().isLocalFile()) {
    return {};
  }
  return data->urls().front().toLocalFile();
}

}  // namespace

void CprogramDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void CprogramDlg::dragMoveEvent(QDragMoveEvent* event) {
  event->setAccepted(PathBoxAt(event->position().toPoint()) != 0 &&
                     !DraggedFile(event->mimeData()).isEmpty());
}

void CprogramDlg::dropEvent(QDropEvent* event) {
  const int box = PathBoxAt(event->position().toPoint());
  const QString file = DraggedFile(event->mimeData());
  if (box != 0 && !file.isEmpty()) {
    event->acceptProposedAction();
    SetPickedPath(box, file);
  }
}

}  // namespace app

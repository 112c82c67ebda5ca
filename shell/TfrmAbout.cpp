#include "TfrmAbout.h"

#include "Help.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace kovra {
namespace {

const char *const SupportMail = "support@kovra.example";
const char *const SupportWeb = "https://www.kovra.example";

TfrmAbout *g_current = nullptr;

// The strip down the left side, its text read bottom to top.
class TitleStrip : public QWidget {
public:
    explicit TitleStrip(QWidget *parent) : QWidget(parent)
    {
        setObjectName("pnlTitle");
        setFixedWidth(44);
        setMinimumHeight(260);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x1f, 0x3a, 0x5f));
        QFont f = font();
        f.setPointSize(f.pointSize() + 6);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.translate(0, height());
        p.rotate(-90);
        p.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter,
                   QStringLiteral("Kovra Console"));
    }
};

// A small drawn emblem: a shield with a signal arc, so the window needs no image file.
QPixmap emblem()
{
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shield;
    shield.moveTo(32, 4);
    shield.lineTo(58, 14);
    shield.cubicTo(58, 40, 46, 54, 32, 60);
    shield.cubicTo(18, 54, 6, 40, 6, 14);
    shield.closeSubpath();
    p.fillPath(shield, QColor(0x1f, 0x3a, 0x5f));
    p.setPen(QPen(QColor(0xf0, 0xa0, 0x20), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRect(18, 18, 28, 28), 30 * 16, 120 * 16);
    p.drawArc(QRect(24, 24, 16, 16), 30 * 16, 120 * 16);
    p.setBrush(QColor(0xf0, 0xa0, 0x20));
    p.drawEllipse(QPointF(32, 38), 3, 3);
    return pm;
}

QLabel *linkLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(text.toHtmlEscaped()));
    l->setTextFormat(Qt::RichText);
    l->setOpenExternalLinks(false);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *parent) : TBaseForm(parent)
{
    g_current = this;
    setObjectName("TfrmAbout");
    setCaption("About");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(new TitleStrip(this));

    auto *body = new QVBoxLayout;
    body->setContentsMargins(16, 16, 16, 12);
    outer->addLayout(body, 1);

    auto *head = new QHBoxLayout;
    auto *picture = new QLabel(this);
    picture->setObjectName("imgLogo");
    picture->setPixmap(emblem());
    head->addWidget(picture);
    auto *product = new QLabel(QStringLiteral("Kovra Console"), this);
    product->setObjectName("lblProduct");
    QFont pf = product->font();
    pf.setPointSize(pf.pointSize() + 8);
    pf.setBold(true);
    product->setFont(pf);
    head->addWidget(product, 1);
    body->addLayout(head);

    m_lblVersion = new QLabel(this);
    m_lblVersion->setObjectName("lblVersion");
    m_lblVersion->setText(QStringLiteral("Version ") + versionText());
    body->addWidget(m_lblVersion);

    auto *mail = new QHBoxLayout;
    mail->addWidget(new QLabel(QStringLiteral("E-mail:"), this));
    QLabel *lblEMail = linkLabel("lblEMail", QString::fromLatin1(SupportMail), this);
    mail->addWidget(lblEMail, 1);
    mail->addWidget(new QLabel(QStringLiteral(" Web:"), this));
    QLabel *lblURL = linkLabel("lblURL", QString::fromLatin1(SupportWeb), this);
    mail->addWidget(lblURL, 1);
    body->addLayout(mail);

    // The link's text is what gets opened, as the labels show it.
    connect(lblEMail, &QLabel::linkActivated, this,
            [](const QString &link) { OpenUrl(QUrl(QStringLiteral("mailto:") + link)); });
    connect(lblURL, &QLabel::linkActivated, this,
            [](const QString &link) { OpenUrl(QUrl(link)); });

    auto *description = new QLabel(this);
    description->setObjectName("lblDescription");
    description->setWordWrap(true);
    description->setText(QStringLiteral(
        "Kovra Console keeps the accounts of Kovra IP alarm communicators, programs the "
        "modules over the network, keeps IP receivers' account tables in step and serves "
        "their firmware.\n\n"
        "Kovra Systems - installer support\n"
        "Phone: +1 555 0100 (Mon-Fri 8:00-18:00)\n"
        "Fax: +1 555 0101"));
    description->setFrameShape(QFrame::StyledPanel);
    description->setMargin(8);
    body->addWidget(description, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *btnDone = new QPushButton(QStringLiteral("&Done"), this);
    btnDone->setObjectName("btnDone");
    btnDone->setDefault(true);
    btnDone->setVisible(true);
    connect(btnDone, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(btnDone);
    body->addLayout(buttons);

    setFixedSize(sizeHint().expandedTo(QSize(460, 300)));
}

TfrmAbout::~TfrmAbout()
{
    if (g_current == this)
        g_current = nullptr;
}

TfrmAbout *TfrmAbout::current() { return g_current; }

QString TfrmAbout::versionText()
{
    QStringList parts = QString::fromLatin1(KOVRA_VERSION).split('.');
    while (parts.size() < 4)
        parts << QStringLiteral("0");
    return parts.mid(0, 4).join('.');
}

void ShowAbout(QWidget *parent)
{
    if (TfrmAbout::current())
        return;
    QPointer<TfrmAbout> about = new TfrmAbout(parent);
    about->exec();
    delete about.data();
}

} // namespace kovra

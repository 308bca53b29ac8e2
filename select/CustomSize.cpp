// The custom frame size questions.
#include "select/CustomSize.h"

namespace kaptivus::select {

namespace {

constexpr int MinSide = 16;

struct Question {
    QString caption;
    QString noun;
    int maximum;
    int& fixed;
    int& lastDefined;
};

bool askOne(const Question& q, const TextQuestion& ask)
{
    const QString prompt = QStringLiteral("Enter the %1 ( %2 - %3 )").arg(q.noun).arg(MinSide).arg(q.maximum);
    QString text = QString::number(q.lastDefined);
    while (true) {
        const std::optional<QString> answer = ask(q.caption, prompt, text);
        if (!answer) return false;
        text = *answer;
        bool isNumber = false;
        const int value = answer->trimmed().toInt(&isNumber);
        if (!isNumber) continue;
        q.fixed = value;
        if (value < MinSide || value > q.maximum) continue;
        q.lastDefined = value;
        return true;
    }
}

} // namespace

bool AskCustomSize(PresetSizes& sizes, int maxWidth, int maxHeight, const TextQuestion& ask)
{
    return askOne({QStringLiteral("Customized Rectangle Width"), QStringLiteral("Width"), maxWidth, sizes.FixedWidth,
                   sizes.LastDefinedWidth},
                  ask)
        && askOne({QStringLiteral("Customized Rectangle Height"), QStringLiteral("Height"), maxHeight,
                   sizes.FixedHeight, sizes.LastDefinedHeight},
                  ask);
}

} // namespace kaptivus::select

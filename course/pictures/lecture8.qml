import QtQuick
import "components"

// Lecture 8: information security — a word locked with the Caesar cipher
// over the lecture's 33-letter alphabet (Ё included) and opened again with
// the key.
Rectangle {
    id: root
    width: 550
    height: 400
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)

    // Frame n shows step n - 1 at rest; play() runs on from there.
    function play() { scene.run(); }
    onFrameChanged: scene.show(frame - 1)
    Component.onCompleted: play()

    readonly property string alphabet: "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
    readonly property string word: "СЕКРЕТ"
    readonly property int key: 3
    function shift(letter, by) {
        const i = alphabet.indexOf(letter);
        return alphabet[(i + by + alphabet.length) % alphabet.length];
    }
    readonly property string secret: word.split("").map(c => shift(c, key)).join("")
    // The letters a shift passes over, so the count can be followed: Е → Ё, Ж, З.
    function passed(letter) {
        const out = [];
        for (let k = 1; k <= key; ++k)
            out.push(shift(letter, k));
        return out.join(", ");
    }
    // Steps 1..6 lock one letter each; 7 shows the locked word; 8 opens it.
    readonly property int locked: Math.min(Math.max(scene.step, 0), word.length)
    readonly property int working: scene.step >= 1 && scene.step <= word.length ? scene.step - 1 : -1

    LectureScene {
        id: scene
        number: 8
        title: "Информационная безопасность"
        interval: 2000
        captions: {
            const out = ["Шифр Цезаря заменяет каждую букву той, что стоит в алфавите из 33 букв на 3 позиции дальше. Число 3 — ключ."];
            for (let i = 0; i < root.word.length; ++i)
                out.push("Буква «" + root.word[i] + "» сдвигается на 3 (" + root.passed(root.word[i])
                         + ") и становится «" + root.secret[i] + "».");
            out.push("Получилось «" + root.secret + "»: без ключа прочитать это трудно.");
            out.push("Получатель знает ключ, сдвигает буквы назад на 3 и читает «" + root.word + "».");
            return out;
        }

        // The alphabet strip with the letter being shifted and its image.
        Row {
            x: 11; y: 4
            spacing: 0
            Repeater {
                model: root.alphabet.length
                Rectangle {
                    readonly property string letter: root.alphabet[index]
                    readonly property bool source: root.working >= 0 && letter === root.word[root.working]
                    readonly property bool image: root.working >= 0 && letter === root.secret[root.working]
                    width: 15; height: 30; radius: 3
                    color: source ? Theme.primary : image ? Theme.accent : Theme.surface
                    border.width: 1; border.color: Theme.line
                    Text {
                        anchors.centerIn: parent
                        text: parent.letter
                        font.family: Theme.font; font.pixelSize: 14; font.bold: true
                        color: parent.source || parent.image ? Theme.onDark : Theme.ink
                    }
                }
            }
        }
        Text {
            x: 11; y: 42
            text: "Ключ: сдвиг на " + root.key
            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
            color: Theme.accent
        }

        Column {
            x: 4; y: 76
            spacing: 16
            Row {
                spacing: 8
                Text {
                    width: 96; height: 52; verticalAlignment: Text.AlignVCenter
                    text: "Сообщение"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Repeater {
                    model: root.word.length
                    Rectangle {
                        width: 44; height: 52; radius: 8
                        color: index === root.working ? Theme.primarySoft : Theme.surface
                        border.width: 2; border.color: Theme.primary
                        Text {
                            anchors.centerIn: parent
                            text: root.word[index]
                            font.family: Theme.font; font.pixelSize: 24; font.bold: true
                            color: Theme.primary
                        }
                    }
                }
            }
            Row {
                spacing: 8
                Text {
                    width: 96; height: 52; verticalAlignment: Text.AlignVCenter
                    text: scene.step >= root.word.length + 2 ? "Расшифровано" : "Шифротекст"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Repeater {
                    model: root.word.length
                    Rectangle {
                        readonly property bool done: index < root.locked
                        readonly property bool open: scene.step >= root.word.length + 2
                        width: 44; height: 52; radius: 8
                        color: open ? Theme.successSoft : done ? Theme.accent : Theme.surface
                        border.width: 2
                        border.color: open ? Theme.success : done ? Theme.accent : Theme.line
                        Behavior on color { ColorAnimation { duration: 300 } }
                        Text {
                            anchors.centerIn: parent
                            text: parent.open ? root.word[index] : parent.done ? root.secret[index] : ""
                            font.family: Theme.font; font.pixelSize: 24; font.bold: true
                            color: parent.open ? Theme.success : Theme.onDark
                        }
                    }
                }
            }
        }

        // The lock closes over the secret and opens for the key.
        Rectangle {
            x: 438; y: 96; width: 72; height: 72; radius: 36
            readonly property bool shut: scene.step === root.word.length + 1
            color: shut ? Theme.accent : Theme.primarySoft
            Behavior on color { ColorAnimation { duration: 300 } }
            Icon {
                anchors.centerIn: parent; width: 40; height: 40
                name: parent.shut ? "lock" : "unlock"
                color: parent.shut ? Theme.onDark : Theme.primary
                stroke: 1.8
            }
        }
    }
}

import QtQuick

// Line icons drawn on a 24-unit grid, so every screen shares one visual
// language without image files.
Canvas {
    id: icon

    property string name
    property color color: Theme.primary
    property real stroke: 2

    implicitWidth: 20
    implicitHeight: 20
    antialiasing: true

    onNameChanged: requestPaint()
    onColorChanged: requestPaint()
    onStrokeChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    function glyph(ctx, dots) {
        function dot(x, y, r) { dots.push([x, y, r]); }
        switch (name) {
        case "home":
            ctx.moveTo(3, 11); ctx.lineTo(12, 3.5); ctx.lineTo(21, 11);
            ctx.moveTo(5.5, 9.5); ctx.lineTo(5.5, 20.5); ctx.lineTo(18.5, 20.5); ctx.lineTo(18.5, 9.5);
            ctx.moveTo(10, 20.5); ctx.lineTo(10, 15); ctx.lineTo(14, 15); ctx.lineTo(14, 20.5);
            break;
        case "sidebar":
            ctx.roundedRect(3, 4, 18, 16, 2, 2);
            ctx.moveTo(9.5, 4); ctx.lineTo(9.5, 20);
            ctx.moveTo(5.2, 8); ctx.lineTo(7.3, 8);
            ctx.moveTo(5.2, 11); ctx.lineTo(7.3, 11);
            break;
        case "video":
            ctx.roundedRect(2.5, 6, 13.5, 12, 2, 2);
            ctx.moveTo(16, 10.5); ctx.lineTo(21.5, 7); ctx.lineTo(21.5, 17); ctx.lineTo(16, 13.5);
            break;
        case "bookmark":
            ctx.moveTo(6, 3.5); ctx.lineTo(18, 3.5); ctx.lineTo(18, 21); ctx.lineTo(12, 16.5);
            ctx.lineTo(6, 21); ctx.closePath();
            break;
        case "zoomIn":
        case "zoomOut":
            ctx.arc(10.5, 10.5, 6.5, 0, Math.PI * 2, false);
            ctx.moveTo(15.3, 15.3); ctx.lineTo(21, 21);
            ctx.moveTo(7.5, 10.5); ctx.lineTo(13.5, 10.5);
            if (name === "zoomIn") { ctx.moveTo(10.5, 7.5); ctx.lineTo(10.5, 13.5); }
            break;
        case "book":
            ctx.moveTo(12, 7); ctx.quadraticCurveTo(8, 4.5, 2.5, 5); ctx.lineTo(2.5, 18);
            ctx.quadraticCurveTo(8, 17.5, 12, 20); ctx.quadraticCurveTo(16, 17.5, 21.5, 18);
            ctx.lineTo(21.5, 5); ctx.quadraticCurveTo(16, 4.5, 12, 7); ctx.lineTo(12, 20);
            break;
        case "help":
            ctx.moveTo(21, 12); ctx.arc(12, 12, 9, 0, Math.PI * 2, false);
            ctx.moveTo(9.2, 9.3); ctx.arc(12, 9.3, 2.8, Math.PI, Math.PI * 2.35, false);
            ctx.lineTo(12, 13.2); ctx.lineTo(12, 14);
            dot(12, 17.2, 1.2);
            break;
        case "info":
            ctx.moveTo(21, 12); ctx.arc(12, 12, 9, 0, Math.PI * 2, false);
            ctx.moveTo(12, 11); ctx.lineTo(12, 16.5);
            dot(12, 7.8, 1.2);
            break;
        case "search":
            ctx.moveTo(17, 10.5); ctx.arc(10.5, 10.5, 6.5, 0, Math.PI * 2, false);
            ctx.moveTo(15.3, 15.3); ctx.lineTo(20.5, 20.5);
            break;
        case "back":
            ctx.moveTo(19.5, 12); ctx.lineTo(4.5, 12);
            ctx.moveTo(10.5, 6); ctx.lineTo(4.5, 12); ctx.lineTo(10.5, 18);
            break;
        case "forward":
            ctx.moveTo(4.5, 12); ctx.lineTo(19.5, 12);
            ctx.moveTo(13.5, 6); ctx.lineTo(19.5, 12); ctx.lineTo(13.5, 18);
            break;
        case "exit":
            ctx.moveTo(9.5, 20.5); ctx.lineTo(5, 20.5); ctx.lineTo(5, 3.5); ctx.lineTo(9.5, 3.5);
            ctx.moveTo(15.5, 7); ctx.lineTo(20.5, 12); ctx.lineTo(15.5, 17);
            ctx.moveTo(20.5, 12); ctx.lineTo(9.5, 12);
            break;
        case "enter":
            ctx.moveTo(14.5, 3.5); ctx.lineTo(19, 3.5); ctx.lineTo(19, 20.5); ctx.lineTo(14.5, 20.5);
            ctx.moveTo(9.5, 7); ctx.lineTo(14.5, 12); ctx.lineTo(9.5, 17);
            ctx.moveTo(14.5, 12); ctx.lineTo(3.5, 12);
            break;
        case "list":
            ctx.moveTo(9, 6); ctx.lineTo(20.5, 6);
            ctx.moveTo(9, 12); ctx.lineTo(20.5, 12);
            ctx.moveTo(9, 18); ctx.lineTo(20.5, 18);
            dot(4.5, 6, 1.3); dot(4.5, 12, 1.3); dot(4.5, 18, 1.3);
            break;
        case "flag":
            ctx.moveTo(5.5, 21); ctx.lineTo(5.5, 3.5);
            ctx.lineTo(18.5, 3.5); ctx.lineTo(15.5, 8); ctx.lineTo(18.5, 12.5); ctx.lineTo(5.5, 12.5);
            break;
        case "play":
            ctx.moveTo(21, 12); ctx.arc(12, 12, 9, 0, Math.PI * 2, false);
            ctx.moveTo(10, 8.2); ctx.lineTo(16, 12); ctx.lineTo(10, 15.8); ctx.closePath();
            break;
        case "pause":
            ctx.moveTo(21, 12); ctx.arc(12, 12, 9, 0, Math.PI * 2, false);
            ctx.moveTo(10, 8.5); ctx.lineTo(10, 15.5);
            ctx.moveTo(14, 8.5); ctx.lineTo(14, 15.5);
            break;
        case "step":
            ctx.moveTo(6, 6.5); ctx.lineTo(13, 12); ctx.lineTo(6, 17.5); ctx.closePath();
            ctx.moveTo(17.5, 6); ctx.lineTo(17.5, 18);
            break;
        case "check":
            ctx.roundedRect(4, 3, 16, 18, 2.5, 2.5);
            ctx.moveTo(8, 12); ctx.lineTo(11, 15); ctx.lineTo(16.5, 9);
            break;
        case "document":
        case "download":
            ctx.moveTo(6, 3); ctx.lineTo(14, 3); ctx.lineTo(19, 8); ctx.lineTo(19, 21); ctx.lineTo(6, 21); ctx.closePath();
            ctx.moveTo(14, 3); ctx.lineTo(14, 8); ctx.lineTo(19, 8);
            if (name === "document") {
                ctx.moveTo(9, 13); ctx.lineTo(16, 13);
                ctx.moveTo(9, 17); ctx.lineTo(16, 17);
            } else {
                ctx.moveTo(12.5, 10.5); ctx.lineTo(12.5, 18);
                ctx.moveTo(9.5, 15); ctx.lineTo(12.5, 18); ctx.lineTo(15.5, 15);
            }
            break;
        case "chart":
            ctx.moveTo(3, 20.5); ctx.lineTo(21, 20.5);
            ctx.moveTo(6, 17); ctx.lineTo(6, 12);
            ctx.moveTo(11, 17); ctx.lineTo(11, 5);
            ctx.moveTo(16, 17); ctx.lineTo(16, 9);
            break;
        case "flask":
            ctx.moveTo(8.5, 3); ctx.lineTo(15.5, 3);
            ctx.moveTo(10, 3); ctx.lineTo(10, 9); ctx.lineTo(4.8, 18.5);
            ctx.quadraticCurveTo(4.2, 21, 7, 21); ctx.lineTo(17, 21);
            ctx.quadraticCurveTo(19.8, 21, 19.2, 18.5); ctx.lineTo(14, 9); ctx.lineTo(14, 3);
            ctx.moveTo(7, 15); ctx.lineTo(17, 15);
            break;
        case "code":
            ctx.moveTo(8, 6.5); ctx.lineTo(2.5, 12); ctx.lineTo(8, 17.5);
            ctx.moveTo(16, 6.5); ctx.lineTo(21.5, 12); ctx.lineTo(16, 17.5);
            ctx.moveTo(13.5, 4.5); ctx.lineTo(10.5, 19.5);
            break;
        case "font":
            ctx.moveTo(2.5, 20); ctx.lineTo(8.5, 4.5); ctx.lineTo(14.5, 20);
            ctx.moveTo(4.8, 14); ctx.lineTo(12.2, 14);
            ctx.moveTo(21.5, 16.8); ctx.arc(19, 16.8, 2.5, 0, Math.PI * 2, false);
            ctx.moveTo(21.5, 13); ctx.lineTo(21.5, 20);
            break;
        case "close":
            ctx.moveTo(6, 6); ctx.lineTo(18, 18);
            ctx.moveTo(18, 6); ctx.lineTo(6, 18);
            break;
        case "trash":
            ctx.moveTo(3.5, 6.5); ctx.lineTo(20.5, 6.5);
            ctx.moveTo(9, 6.5); ctx.lineTo(9, 3.5); ctx.lineTo(15, 3.5); ctx.lineTo(15, 6.5);
            ctx.moveTo(5.8, 6.5); ctx.lineTo(7, 20.5); ctx.lineTo(17, 20.5); ctx.lineTo(18.2, 6.5);
            ctx.moveTo(10, 10.5); ctx.lineTo(10, 16.5);
            ctx.moveTo(14, 10.5); ctx.lineTo(14, 16.5);
            break;
        case "user":
        case "userAdd":
            ctx.moveTo(12.5, 8); ctx.arc(9, 8, 3.5, 0, Math.PI * 2, false);
            ctx.moveTo(2.5, 20.5); ctx.quadraticCurveTo(3, 14, 9, 14); ctx.quadraticCurveTo(15, 14, 15.5, 20.5);
            if (name === "userAdd") {
                ctx.moveTo(19, 8); ctx.lineTo(19, 14);
                ctx.moveTo(16, 11); ctx.lineTo(22, 11);
            }
            break;
        case "edit":
            ctx.moveTo(4, 20); ctx.lineTo(5, 15.5); ctx.lineTo(15.5, 5); ctx.lineTo(19, 8.5);
            ctx.lineTo(8.5, 19); ctx.closePath();
            ctx.moveTo(13.5, 7); ctx.lineTo(17, 10.5);
            ctx.moveTo(12, 20); ctx.lineTo(20, 20);
            break;
        case "ok":
            ctx.moveTo(4.5, 12.5); ctx.lineTo(9.5, 17.5); ctx.lineTo(19.5, 7);
            break;
        case "replay":
            ctx.arc(12, 12, 7.5, -Math.PI * 0.6, Math.PI * 1.15, false);
            ctx.moveTo(4, 4.5); ctx.lineTo(5.2, 9.6); ctx.lineTo(10.2, 8.4);
            break;
        case "lock":
            ctx.roundedRect(5, 11, 14, 10, 2, 2);
            ctx.moveTo(8, 11); ctx.lineTo(8, 7.5); ctx.arc(12, 7.5, 4, Math.PI, Math.PI * 2, false);
            ctx.lineTo(16, 11);
            dot(12, 16, 1.4);
            break;
        case "unlock":
            ctx.roundedRect(5, 11, 14, 10, 2, 2);
            ctx.moveTo(8, 11); ctx.lineTo(8, 7.5); ctx.arc(12, 7.5, 4, Math.PI, Math.PI * 1.9, false);
            dot(12, 16, 1.4);
            break;
        case "folder":
            ctx.moveTo(3, 6.5); ctx.quadraticCurveTo(3, 5, 4.5, 5); ctx.lineTo(9.5, 5); ctx.lineTo(11.5, 7);
            ctx.lineTo(19.5, 7); ctx.quadraticCurveTo(21, 7, 21, 8.5); ctx.lineTo(21, 18);
            ctx.quadraticCurveTo(21, 19.5, 19.5, 19.5); ctx.lineTo(4.5, 19.5);
            ctx.quadraticCurveTo(3, 19.5, 3, 18); ctx.closePath();
            break;
        case "drive":
            ctx.roundedRect(2.5, 12, 19, 8, 2, 2);
            ctx.moveTo(2.5, 14); ctx.lineTo(5.5, 5); ctx.lineTo(18.5, 5); ctx.lineTo(21.5, 14);
            dot(17.5, 16, 1.2);
            break;
        case "warning":
            ctx.moveTo(12, 3.5); ctx.lineTo(21.5, 20); ctx.lineTo(2.5, 20); ctx.closePath();
            ctx.moveTo(12, 9.5); ctx.lineTo(12, 14);
            dot(12, 17, 1.2);
            break;
        }
    }

    onPaint: {
        var ctx = getContext("2d");
        ctx.reset();
        var s = Math.min(width, height) / 24;
        if (s <= 0)
            return;
        ctx.save();
        ctx.translate((width - 24 * s) / 2, (height - 24 * s) / 2);
        ctx.scale(s, s);
        ctx.strokeStyle = icon.color;
        ctx.fillStyle = icon.color;
        ctx.lineWidth = icon.stroke;
        ctx.lineCap = "round";
        ctx.lineJoin = "round";
        var dots = [];
        ctx.beginPath();
        glyph(ctx, dots);
        ctx.stroke();
        for (var i = 0; i < dots.length; ++i) {
            ctx.beginPath();
            ctx.arc(dots[i][0], dots[i][1], dots[i][2], 0, Math.PI * 2, false);
            ctx.fill();
        }
        ctx.restore();
    }
}

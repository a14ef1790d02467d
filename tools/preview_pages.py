#!/usr/bin/env python3
"""Composes the skin's pictures into mock-ups of the install window's pages
and the exit popup, for judging the design before the UI toolkit draws them.

A development aid only (not part of the build or the tests). Positions are
those the layouts of controls.xml and popwnd.xml produce; the texts are drawn
by ImageMagick's `convert` with the WenQuanYi Micro Hei face (the face the
test prefix maps "微软雅黑" to).

    tools/preview_pages.py OUT_DIR
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from raster import Canvas, decode_png, encode_png, rgba  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
THEME = os.path.join(ROOT, "resources", "themes", "default")
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


class Picture:
    def __init__(self, relative):
        with open(os.path.join(THEME, *relative.split("/")), "rb") as f:
            self.width, self.height, self.data = decode_png(f.read())

    def texel(self, x, y):
        """Bilinear sample at picture coordinates (pixel centres at +0.5)."""
        x = min(max(x - 0.5, 0.0), self.width - 1.0)
        y = min(max(y - 0.5, 0.0), self.height - 1.0)
        x0, y0 = int(x), int(y)
        x1, y1 = min(x0 + 1, self.width - 1), min(y0 + 1, self.height - 1)
        fx, fy = x - x0, y - y0
        out = []
        for c in range(4):
            def at(px, py):
                i = (py * self.width + px) * 4
                # Premultiply so that transparent texels do not darken edges.
                a = self.data[i + 3] / 255.0
                return self.data[i + c] / 255.0 * (a if c < 3 else 1.0)
            top = at(x0, y0) * (1 - fx) + at(x1, y0) * fx
            bottom = at(x0, y1) * (1 - fx) + at(x1, y1) * fx
            out.append(top * (1 - fy) + bottom * fy)
        return out


def _axis(d, dest_lo, dest_hi, src_lo, src_hi, corner_lo, corner_hi):
    """Maps a destination coordinate to the source along one nine-grid axis."""
    dest_len, src_len = dest_hi - dest_lo, src_hi - src_lo
    if corner_lo + corner_hi > dest_len:  # too small for the corners: squeeze all
        return src_lo + (d - dest_lo) * src_len / max(dest_len, 1)
    if d < dest_lo + corner_lo:
        return src_lo + (d - dest_lo)
    if d >= dest_hi - corner_hi:
        return src_hi - (dest_hi - d)
    middle_dest = dest_len - corner_lo - corner_hi
    middle_src = src_len - corner_lo - corner_hi
    return src_lo + corner_lo + (d - dest_lo - corner_lo) * middle_src / max(middle_dest, 1)


def draw(canvas, picture, dest, source=None, corner=(0, 0, 0, 0)):
    if source is None:
        source = (0, 0, picture.width, picture.height)
    l, t, r, b = dest
    for y in range(max(0, t), min(canvas.height, b)):
        sy = _axis(y + 0.5, t, b, source[1], source[3], corner[1], corner[3])
        for x in range(max(0, l), min(canvas.width, r)):
            sx = _axis(x + 0.5, l, r, source[0], source[2], corner[0], corner[2])
            pr, pg, pb, pa = picture.texel(sx, sy)
            if pa <= 0:
                continue
            i = (y * canvas.width + x) * 4
            k = 1 - pa
            px = canvas.px
            px[i], px[i + 1], px[i + 2], px[i + 3] = (pr + px[i] * k, pg + px[i + 1] * k,
                                                      pb + px[i + 2] * k, pa + px[i + 3] * k)


def fill(canvas, rect, colour):
    l, t, r, b = rect
    canvas.fill(None, lambda x, y: colour, (l, t, r, b))


def with_texts(png_path, texts):
    """texts: (x, y, size, colour, text, anchor) with anchor 'nw' (top left of
    the text) or 'c' (centre of the given point)."""
    args = ["convert", png_path, "-font", FONT]
    for x, y, size, colour, text, anchor in texts:
        gravity = "NorthWest"
        if anchor == "c":
            # Centre of the text on (x, y): measure it first.
            width = int(subprocess.run(["convert", "-font", FONT, "-pointsize", str(size), "label:" + text,
                                        "-format", "%w", "info:"], capture_output=True, text=True).stdout)
            x = x - width // 2
            y = y - int(size * 0.68)
        text = text.replace("\\", "\\\\")  # annotate treats a backslash as an escape
        args += ["-gravity", gravity, "-pointsize", str(size), "-fill", colour,
                 "-annotate", "+%d+%d" % (x, y), text]
    args.append(png_path)
    subprocess.run(args, check=True)


def save(canvas, path, texts):
    with open(path, "wb") as f:
        f.write(encode_png(canvas.width, canvas.height, canvas.rgba_bytes(dither=False)))
    with_texts(path, texts)


def close_button(canvas, x, y, name="vorandel/guanbi.png"):
    draw(canvas, Picture(name), (x, y, x + 10, y + 10), (0, 0, 10, 10))


def bt2(canvas, x, y, state=0):
    draw(canvas, Picture("vorandel/bt2.png"), (x, y, x + 219, y + 64), (0, state * 64, 219, state * 64 + 64))


def page0(out):
    c = Canvas(600, 400)
    draw(c, Picture("vorandel/bg.png"), (0, 0, 600, 400))
    draw(c, Picture("vorandel/logo.png"), (15, 10, 39, 34))
    close_button(c, 580, 10)
    bt2(c, 190, 283)
    draw(c, Picture("vorandel/common_choose.png"), (20, 372, 36, 388), (0, 16, 16, 32))
    draw(c, Picture("vorandel/bt1.png"), (567, 376, 580, 389), (0, 0, 13, 13))
    save(c, os.path.join(out, "page0.png"), [
        (49, 12, 14, "#FFFFFF", "鲁墨文件压缩", "nw"),
        (299, 310, 20, "#FFFFFF", "立即安装", "c"),
        (38, 372, 12, "#333333", "我已阅读并同意", "nw"),
        (122, 372, 12, "#3083FE", "《用户使用许可协议》", "nw"),
        (545, 383, 12, "#333333", "自定义", "c"),
    ])


def page1(out):
    c = Canvas(600, 400)
    fill(c, (0, 0, 600, 400), rgba("#FFFFFF"))
    close_button(c, 580, 5)
    draw(c, Picture("vorandel/xk1.png"), (50, 145, 450, 183), (0, 0, 348, 36), (5, 5, 5, 5))
    draw(c, Picture("vorandel/bt3.png"), (460, 145, 550, 183), (0, 0, 94, 38), (5, 5, 5, 5))
    bt2(c, 190, 286, 2)
    save(c, os.path.join(out, "page1.png"), [
        (35, 17, 14, "#333333", "<返回", "c"),
        (50, 55, 23, "#333333", "自定义安装", "nw"),
        (50, 110, 14, "#333333", "安装路径：", "nw"),
        (60, 153, 14, "#333333", "C:\\users\\user\\AppData\\Roaming\\LumoCompressTool\\", "nw"),
        (505, 164, 14, "#FFFFFF", "浏览", "c"),
        (50, 198, 12, "#333333", "所需空间：134MB 可用空间：52.31 GB", "nw"),
        (299, 313, 20, "#FFFFFF", "立即安装", "c"),
    ])


def page2(out, percent=45):
    c = Canvas(600, 400)
    draw(c, Picture("vorandel/bg2.png"), (0, 0, 600, 400))
    draw(c, Picture("vorandel/Pb_Bkg_Green.png"), (55, 280, 545, 290), None, (6, 2, 6, 2))
    filled = int(490 * percent / 100)
    draw(c, Picture("vorandel/Pb_Green.png"), (55, 280, 55 + filled, 290), None, (6, 2, 6, 2))
    save(c, os.path.join(out, "page2.png"), [
        (300, 309, 14, "#333333", "正在安装，请不要关闭：%d%%" % percent, "c"),
    ])


def page3(out):
    c = Canvas(600, 400)
    draw(c, Picture("vorandel/bg4.png"), (0, 0, 600, 400))
    draw(c, Picture("vorandel/logo.png"), (10, 10, 34, 34))
    close_button(c, 580, 10)
    bt2(c, 190, 265)
    save(c, os.path.join(out, "page3.png"), [
        (44, 11, 12, "#FFFFFF", "鲁墨文件压缩", "nw"),
        (299, 297, 20, "#FFFFFF", "安装完成", "c"),
    ])


def page4(out):
    c = Canvas(600, 400)
    fill(c, (0, 0, 600, 400), rgba("#FFFFFF"))
    close_button(c, 580, 5)
    fill(c, (0, 259, 600, 260), rgba("#F1F1F1"))
    draw(c, Picture("public/vscrollbar/thumb_normal.png"), (541, 45, 555, 150), None, (0, 8, 0, 8))
    bt2(c, 190, 302)
    with open(os.path.join(ROOT, "resources", "agreement.txt"), encoding="utf-8") as f:
        lines = [line for line in f.read().splitlines()][:10]
    texts = [(35, 17, 14, "#333333", "<返回", "c"), (299, 329, 20, "#FFFFFF", "立即安装", "c")]
    for n, line in enumerate(lines):
        texts.append((45, 47 + n * 20, 14, "#333333", line[:34], "nw"))
    save(c, os.path.join(out, "page4.png"), texts)


def popup(out):
    # The popup inside its 14-pixel default shadow, over a grey desktop.
    c = Canvas(428, 248)
    fill(c, (0, 0, 428, 248), rgba("#6B7280"))
    draw(c, Picture("public/bk/bk_shadow.png"), (20, 20, 408, 228), None, (30, 30, 30, 30))
    fill(c, (34, 34, 394, 214), rgba("#FFFFFF"))
    ox, oy = 34, 34
    close_button(c, ox + 340, oy + 10, "vorandel/guanbi2.png")
    draw(c, Picture("vorandel/tishi.png"), (ox + 40, oy + 60, ox + 76, oy + 96))
    fill(c, (ox + 135, oy + 135, ox + 215, oy + 165), rgba("#D0D4D9"))
    fill(c, (ox + 136, oy + 136, ox + 214, oy + 164), rgba("#FAFAFA"))
    draw(c, Picture("vorandel/bt3.png"), (ox + 230, oy + 135, ox + 310, oy + 165), (0, 0, 94, 38), (5, 5, 5, 5))
    save(c, os.path.join(out, "popup.png"), [
        (ox + 18, oy + 12, 14, "#333333", "提示", "nw"),
        (ox + 86, oy + 70, 14, "#333333", "安装尚未完成，确定要退出吗？", "nw"),
        (ox + 175, oy + 151, 12, "#000000", "确定", "c"),
        (ox + 270, oy + 151, 12, "#FFFFFF", "取消", "c"),
    ])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    for page in (page0, page1, page2, page3, page4, popup):
        page(out)
        print("wrote", os.path.join(out, page.__name__ + ".png"))


if __name__ == "__main__":
    main()

"""Export sites and Import sites, chosen in the tray menu by keys and given a
file in their dialogs as a user would: the sites of one program folder go
into an OPML file and from there into the empty table of a second one."""
from conftest import (WM_TRAYNOTIFY, clean_favorites, numbered_feed, status_file,
                      unix_to_windows, wait_until)

WM_RBUTTONUP, VK_RETURN, VK_RIGHT, VK_UP, VK_DOWN, IDOK = 0x205, 0x0D, 0x27, 0x26, 0x28, 1
NAMES = ("ニュース", "A&B")


def choose_and_give_file(tansy, ups, news_submenus, title, path):
    """In the tray menu, Site (below the sites' submenus), `ups` items up from
    its first (up wraps to the last); then `path` into the file dialog, OK."""
    tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, WM_RBUTTONUP)
    wait_until(lambda: tansy.ctl("menu")[0] == 0, "the tray menu did not open")
    for key in [VK_DOWN] * (news_submenus + 1) + [VK_RIGHT] + [VK_UP] * ups + [VK_RETURN]:
        tansy.ctl("menukey", key)
    assert tansy.ctl("wait", title, 20000)[0] == 0, f"no dialog {title}"
    assert any(tansy.ctl("settext", title, box, unix_to_windows(path))[0] == 0
               for box in (1148, 1152))
    tansy.ctl("click", title, IDOK)


def message_box(tansy):
    """The handle and text of the message box titled "Tansy" (the main
    dialog of that title has no text)."""
    def shown():
        for window in tansy.ctl("showall", "Tansy")[1].split("window=")[1:]:
            for line in window.splitlines():
                if "class=Static" in line and line.split(" text=", 1)[-1] not in ("", line):
                    return window.split()[0], line.split(" text=", 1)[1]
    return wait_until(shown, "no message box", 20)


def test_exported_sites_import_into_a_second_program_folder(start_tansy, server, wine, tmp_path):
    favorites = clean_favorites(wine, NAMES)
    urls = [server.url(f"/{tag}.xml") for tag in "ab"]
    for tag in "ab":
        server.set_route(f"/{tag}.xml", numbered_feed(tag))
    exporter = start_tansy(status=status_file([(urls[0], NAMES[0], "C:\\ding.wav"),
                                               ("", "", ""), (urls[1], NAMES[1], "")]))
    opml = tmp_path / "sites.opml"
    choose_and_give_file(exporter, 1, 2, "Export sites", opml)
    text = wait_until(lambda: opml.exists() and opml.read_bytes(), "nothing exported").decode()
    assert text.startswith('<?xml version="1.0" encoding="UTF-8"?>')
    assert (f'<outline type="rss" text="ニュース" title="ニュース" xmlUrl="{urls[0]}"/>\r\n'
            f'    <outline type="rss" text="A&amp;B" title="A&amp;B" xmlUrl="{urls[1]}"/>') in text
    exporter.exit()

    importer = start_tansy(status=None)
    choose_and_give_file(importer, 2, 0, "Import sites", opml)
    handle, report = message_box(importer)
    assert report == "2 sites added, as 1 and 2."
    # The new sites are read at once, while the report is still shown.
    assert importer.wait_for_messages(3)[1:3] == [f"0 UPDATE {urls[0]}", f"1 UPDATE {urls[1]}"]
    importer.ctl("click", handle, IDOK)
    lines = (importer.folder / "status.dat").read_bytes().decode("cp932").split("\r\n")
    assert lines[:6] == [urls[0], NAMES[0], "", urls[1], NAMES[1], ""]
    for name, tag in zip(NAMES, "ab"):
        assert sorted(p.name for p in (favorites / name).iterdir()) == [f"{tag} 0.url", f"{tag} 1.url"]

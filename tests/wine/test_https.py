"""Feeds over https under Wine, against TLS feed servers on loopback.

A certificate authority made for this run is trusted in the tests' Wine
prefix only (its Root certificate store in the registry), for the module's
length; the host's trust store is never touched. The servers are named
"localhost" in URLs: Wine's TLS refuses a certificate issued to an address,
and Wine resolves names through the host's resolver (the prefix's own hosts
file is not read).
"""
import hashlib
import json
import struct

import pytest

from conftest import IDM_REFRESH, clean_favorites, numbered_feed, shortcuts, status_file
from feed_server import FeedServer
from make_certs import make_certificates

HOST = "localhost"
ROOT_CERTIFICATES = r"HKLM\Software\Microsoft\SystemCertificates\Root\Certificates"
CERT_CERT_PROP_ID = 32
LM = "Wed, 21 Oct 2015 07:28:00 GMT"
# WinINet's errors for a certificate it refuses.
INVALID_CA, CERT_DATE_INVALID, CERT_CN_INVALID = 12045, 12037, 12038
REFUSED = ["self_signed", "expired", "wrong_host"]
NAMES = {"trusted": "HTTPS trusted", "self_signed": "HTTPS self-signed",
         "expired": "HTTPS expired", "wrong_host": "HTTPS wrong host",
         "redirected": "HTTPS redirected"}


@pytest.fixture(scope="module")
def pki(tmp_path_factory):
    return make_certificates(tmp_path_factory.mktemp("pki"), HOST)


@pytest.fixture(scope="module")
def trusted_ca(wine, pki):
    """The run's CA in the prefix's Root store: a registry entry named after
    the certificate's SHA-1 whose Blob holds the certificate as a stored
    property."""
    key = ROOT_CERTIFICATES + "\\" + hashlib.sha1(pki.ca_der).hexdigest().upper()
    blob = struct.pack("<III", CERT_CERT_PROP_ID, 1, len(pki.ca_der)) + pki.ca_der
    wine.run(["reg", "add", key, "/v", "Blob", "/t", "REG_BINARY", "/d", blob.hex(), "/f"],
             check=True)
    yield pki
    wine.run(["reg", "delete", key, "/f"], check=True)


@pytest.fixture
def servers(trusted_ca):
    """One TLS server per certificate, each serving /feed.xml, and a plain
    http server beside them."""
    started = {which: FeedServer(tls=getattr(trusted_ca, which), name=HOST).start()
               for which in ["trusted"] + REFUSED}
    started["http"] = FeedServer().start()
    for which, srv in started.items():
        body = numbered_feed(which.replace("_", "-"), base="https://example.jp")
        srv.set_route("/feed.xml", body, last_modified=LM)
    yield started
    for srv in started.values():
        srv.stop()


@pytest.fixture
def favorites(wine):
    return clean_favorites(wine, NAMES.values())


def test_https_sites_in_a_pass(start_tansy, servers, favorites):
    # http://127.0.0.1/old moves to https://localhost/moved.xml.
    servers["trusted"].set_route("/moved.xml", numbered_feed("moved", base="https://example.jp"),
                                 last_modified=LM)
    servers["http"].set_route("/old", status=301,
                              headers={"Location": servers["trusted"].url("/moved.xml")})
    urls = [servers[which].url("/feed.xml") for which in ["trusted"] + REFUSED]
    urls.append(servers["http"].url("/old"))
    slots = [(url, NAMES[which], "")
             for url, which in zip(urls, ["trusted"] + REFUSED + ["redirected"])]
    tansy = start_tansy(status=status_file(slots))
    tansy.command(IDM_REFRESH)
    messages = tansy.wait_for_messages(10, timeout=90)
    assert messages == ["START", f"0 UPDATE {urls[0]}", f"1 ERROR {urls[1]}",
                        f"2 ERROR {urls[2]}", f"3 ERROR {urls[3]}", f"4 UPDATE {urls[4]}",
                        "5 ERROR ", "6 ERROR ", "7 ERROR ", "8 ERROR "]
    assert shortcuts(favorites / NAMES["trusted"]) == ["trusted 0.url", "trusted 1.url"]
    assert shortcuts(favorites / NAMES["redirected"]) == ["moved 0.url", "moved 1.url"]
    shortcut = (favorites / NAMES["trusted"] / "trusted 1.url").read_bytes()
    assert b"URL=https://example.jp/trusted/1" in shortcut

    # Each refused certificate: the client connected, broke off without
    # sending a request, and nothing of that site was written.
    for which in REFUSED:
        assert servers[which].tls_handshakes, f"{which}: the client never connected"
        assert servers[which].requests == [], which
        assert not (favorites / NAMES[which]).exists(), which
    assert [r.path for r in servers["http"].requests] == ["/old"]
    assert [r.path for r in servers["trusted"].requests] == ["/feed.xml", "/moved.xml"]
    assert not (tansy.folder / "dl.dat").exists()
    assert tansy.running()


@pytest.mark.parametrize("which,error", [
    ("self_signed", INVALID_CA), ("expired", CERT_DATE_INVALID), ("wrong_host", CERT_CN_INVALID),
], ids=REFUSED)
def test_a_refused_certificate_fails_for_its_own_reason(wine, probe, servers, tmp_path,
                                                        which, error):
    result = wine.run([probe, "--url", servers[which].url("/feed.xml")], cwd=tmp_path,
                      timeout=120)
    [report] = [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]
    assert report["error"] is True and report["modified"] is False
    assert report["errorCode"] == error
    assert not (tmp_path / "dl.dat").exists()

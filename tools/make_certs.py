#!/usr/bin/env python3
"""A throw-away certificate authority and server certificates for HTTPS tests.

    pki = make_certificates(folder, host="localhost")
    FeedServer(tls=pki.trusted, name="localhost")   # a certificate the CA issued
    pki.ca_der                                       # what a test trusts

Every key is made anew in `folder` for each run, so none is ever kept in the
repository. Besides the certificate the CA issues for `host`, it makes the
three that a client must refuse: one signed by itself, one of the CA that has
expired, and one of the CA for another host name. Each differs from the
trusted one in that one respect only.

From the command line (a demo over https):

    python3 tools/make_certs.py OUT_DIR [HOST]
"""
import datetime
import sys
from dataclasses import dataclass
from pathlib import Path

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

# A host name the certificates of the CA are never issued for.
OTHER_HOST = "feeds.example.invalid"


@dataclass
class Certificates:
    ca_der: bytes       # the CA's certificate, DER
    ca_pem: Path
    trusted: tuple      # (certificate chain file, key file) for host, issued by the CA
    self_signed: tuple  # for host, signed by its own key
    expired: tuple      # for host, issued by the CA, expired yesterday
    wrong_host: tuple   # issued by the CA for OTHER_HOST


def _key():
    # RSA, which every TLS stack and certificate store can verify.
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def _name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def _certificate(subject, key, issuer, issuer_key, not_before, not_after, host=None):
    builder = (x509.CertificateBuilder()
               .subject_name(_name(subject)).issuer_name(_name(issuer))
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(not_before).not_valid_after(not_after)
               .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()),
                              critical=False))
    if host is None:  # the CA
        builder = builder.add_extension(x509.BasicConstraints(ca=True, path_length=0),
                                        critical=True)
        builder = builder.add_extension(x509.KeyUsage(
            digital_signature=True, key_cert_sign=True, crl_sign=True,
            content_commitment=False, key_encipherment=False, data_encipherment=False,
            key_agreement=False, encipher_only=False, decipher_only=False), critical=True)
    else:
        builder = builder.add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]),
                                        critical=False)
        builder = builder.add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]),
                                        critical=False)
    return builder.sign(issuer_key, hashes.SHA256())


def _pem(certificate):
    return certificate.public_bytes(serialization.Encoding.PEM)


def _write_pair(folder, stem, chain, key):
    cert_file, key_file = folder / f"{stem}.pem", folder / f"{stem}.key"
    cert_file.write_bytes(b"".join(_pem(c) for c in chain))
    key_file.write_bytes(key.private_bytes(serialization.Encoding.PEM,
                                           serialization.PrivateFormat.PKCS8,
                                           serialization.NoEncryption()))
    key_file.chmod(0o600)
    return cert_file, key_file


def make_certificates(folder, host="localhost"):
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    day = datetime.timedelta(days=1)
    ca_key, server_key, own_key = _key(), _key(), _key()
    ca_name = "Tansy Test CA " + now.strftime("%Y%m%d%H%M%S")
    ca = _certificate(ca_name, ca_key, ca_name, ca_key, now - day, now + 30 * day)

    def issued(name, not_before, not_after):
        return _certificate(name, server_key, ca_name, ca_key, not_before, not_after, name)

    ca_pem = folder / "ca.pem"
    ca_pem.write_bytes(_pem(ca))
    self_signed = _certificate(host, own_key, host, own_key, now - day, now + 30 * day, host)
    return Certificates(
        ca_der=ca.public_bytes(serialization.Encoding.DER),
        ca_pem=ca_pem,
        trusted=_write_pair(folder, "trusted", [issued(host, now - day, now + 30 * day), ca],
                            server_key),
        self_signed=_write_pair(folder, "self-signed", [self_signed], own_key),
        expired=_write_pair(folder, "expired", [issued(host, now - 30 * day, now - day), ca],
                            server_key),
        wrong_host=_write_pair(folder, "wrong-host",
                               [issued(OTHER_HOST, now - day, now + 30 * day), ca], server_key),
    )


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.rsplit("\n\n", 1)[-1].strip(), file=sys.stderr)
        return 2
    pki = make_certificates(argv[1], *argv[2:])
    print(f"CA: {pki.ca_pem}\nserver: {pki.trusted[0]} {pki.trusted[1]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

"""Writes a zip file whose bytes depend on its entries alone, for make-ane.py and make-airpackage.py.

Every entry carries the same timestamp, the one in the epoch file (the commit's time), and the permissions 0644
whatever the checkout's umask; entries are deflated unless named as stored, and kept in the order given.
"""
import os
import tempfile
import time
import zipfile


def epoch(epoch_file):
    """The seconds since 1970 in EPOCH_FILE; without one, 1980-01-01, the earliest time a zip entry can carry."""
    if not epoch_file:
        return 315532800
    with open(epoch_file) as file:
        return int(file.read())


def write(output, entries, seconds, stored=lambda name: False):
    """Writes OUTPUT from ENTRIES, (name, bytes) pairs, each stamped SECONDS since 1970 in UTC. It is written
    beside OUTPUT and renamed into place, so that a failure leaves no partial file."""
    stamp = time.gmtime(seconds)[:6]
    handle, partial = tempfile.mkstemp(dir=os.path.dirname(os.path.abspath(output)), suffix='.partial')
    os.close(handle)
    try:
        with zipfile.ZipFile(partial, 'w') as archive:
            for name, data in entries:
                info = zipfile.ZipInfo(name, stamp)
                info.create_system = 3  # Unix, for the permissions below, wherever it is made
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_STORED if stored(name) else zipfile.ZIP_DEFLATED
                archive.writestr(info, data, compresslevel=None if stored(name) else 9)
        os.chmod(partial, 0o644)
        os.replace(partial, output)
    finally:
        if os.path.exists(partial):
            os.remove(partial)

#!/usr/bin/env bash
# Starts the CUPS scheduler when it is not running and adds the PDF print queue ChronotallyPDF
# (cups-pdf: each job becomes a PDF file in the user's ~/PDF, named after the job's title).
# Idempotent. Exits non-zero when the scheduler cannot be started or the queue not added.
set -uo pipefail
queue=ChronotallyPDF
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
export PATH="$PATH:/usr/sbin:/sbin"

running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }

command -v lpstat >/dev/null && command -v cupsd >/dev/null || { echo "printers: CUPS is not installed" >&2; exit 1; }
if ! running; then
  cupsd || { echo "printers: cupsd did not start" >&2; exit 1; }
  for _ in $(seq 50); do running && break; sleep 0.2; done
  running || { echo "printers: the CUPS scheduler is not answering" >&2; exit 1; }
fi
if ! lpstat -p "$queue" >/dev/null 2>&1; then
  [ -f "$ppd" ] || { echo "printers: $ppd is missing (printer-driver-cups-pdf)" >&2; exit 1; }
  lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd" || { echo "printers: could not add $queue" >&2; exit 1; }
fi
lpstat -p "$queue" >/dev/null 2>&1

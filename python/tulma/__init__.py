"""Read the report files of a TULMA run and draw figures of them.

    PYTHONPATH=python /usr/bin/python3 -m tulma plot RUN_DIR
    PYTHONPATH=python /usr/bin/python3 -m tulma summary RUN_DIR

``tulma.reports`` holds the readers (numpy structured arrays), ``tulma.plots``
the figures (matplotlib, Agg backend).
"""

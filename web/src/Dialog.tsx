// A modal confirmation: the browser's dialog keeps focus inside and closes on Escape. Both
// buttons close it through the dialog itself, and the focus goes back to the button that
// opened it before the dialog leaves the page.
import { useEffect, useId, useRef } from 'react';

interface Props {
  title: string;
  text: string;
  confirm: string;
  onConfirm: () => void;
  /** Called once the dialog has closed, whichever way. */
  onClose: () => void;
}

export function ConfirmDialog({ title, text, confirm, onConfirm, onClose }: Props) {
  const ref = useRef<HTMLDialogElement>(null);
  const opener = useRef<Element | null>(null);
  const id = useId();
  useEffect(() => {
    const dialog = ref.current;
    if (dialog && !dialog.open) {
      opener.current = document.activeElement;
      if (typeof dialog.showModal === 'function') dialog.showModal();
      else dialog.setAttribute('open', '');
    }
  }, []);
  const closed = () => {
    if (opener.current instanceof HTMLElement && opener.current.isConnected) opener.current.focus();
    onClose();
  };
  const close = () => {
    const dialog = ref.current;
    if (dialog && typeof dialog.close === 'function') dialog.close();
    else closed();
  };
  return (
    <dialog ref={ref} className="dialog" aria-labelledby={`${id}-title`} aria-describedby={`${id}-text`} onClose={closed}>
      <h2 id={`${id}-title`}>{title}</h2>
      <p id={`${id}-text`}>{text}</p>
      <div className="dialog-buttons">
        <button type="button" autoFocus onClick={close}>Keep it</button>
        <button type="button" className="danger" onClick={() => { onConfirm(); close(); }}>{confirm}</button>
      </div>
    </dialog>
  );
}

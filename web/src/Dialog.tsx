// A modal confirmation: the browser's dialog keeps focus inside and closes on Escape.
import { useEffect, useId, useRef } from 'react';

interface Props {
  title: string;
  text: string;
  confirm: string;
  onConfirm: () => void;
  onClose: () => void;
}

export function ConfirmDialog({ title, text, confirm, onConfirm, onClose }: Props) {
  const ref = useRef<HTMLDialogElement>(null);
  const id = useId();
  useEffect(() => {
    const dialog = ref.current;
    if (dialog && !dialog.open) {
      if (typeof dialog.showModal === 'function') dialog.showModal();
      else dialog.setAttribute('open', '');
    }
  }, []);
  return (
    <dialog ref={ref} className="dialog" aria-labelledby={`${id}-title`} aria-describedby={`${id}-text`}
      onCancel={(event) => { event.preventDefault(); onClose(); }}>
      <h2 id={`${id}-title`}>{title}</h2>
      <p id={`${id}-text`}>{text}</p>
      <div className="dialog-buttons">
        <button type="button" autoFocus onClick={onClose}>Keep it</button>
        <button type="button" className="danger" onClick={() => { onConfirm(); onClose(); }}>{confirm}</button>
      </div>
    </dialog>
  );
}
